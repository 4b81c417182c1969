#pragma once

#include "platform/Updater.h"
#include "platform/update/Appcast.h"
#include "platform/update/CappedFetch.h"

#include <QDateTime>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class AlertPresenter;
class QNetworkAccessManager;
class Workspace;

// Reads an RSS update feed and tells the user about a newer release; the
// download page opens in the browser, installing is the package manager's
// job. Lives on the main thread; the feed is read asynchronously.
class FeedUpdater final : public Updater {
public:
    // Stored answers and times, in the defaults store.
    static constexpr const char* launchCountKey = "UpdateCheckLaunchCount";
    static constexpr const char* automaticChecksKey = "AutomaticallyCheckForUpdates";
    static constexpr const char* lastCheckKey = "LastUpdateCheckTime";
    static constexpr int checkIntervalSeconds = 24 * 60 * 60;
    // Feeds are small; anything larger is not one.
    static constexpr qint64 largestFeedBytes = 4 * 1024 * 1024;

    // The feed named by the build, unless TALLOWIND_UPDATE_FEED_URL is set.
    static QUrl configuredFeedAddress();
    // The version this build reports.
    static QString buildVersion();

    FeedUpdater(QUrl feedAddress, QString currentVersion, std::shared_ptr<AlertPresenter> alerts,
        std::shared_ptr<Workspace> workspace);
    ~FeedUpdater() override;

    void start() override;
    void checkForUpdates() override;
    void stop() override;

    // Tests replace the clock.
    void setClock(std::function<QDateTime()> now) { clock = std::move(now); }
    bool isChecking() const { return fetch != nullptr; }
    // Milliseconds until the next scheduled check; -1 when none is planned.
    int scheduledCheckInMs() const;

private:
    void askAboutAutomaticChecks();
    void scheduleNextCheck();
    void beginCheck(bool userInitiated);
    void finishCheck(const CappedFetch::Result& result);
    // The failure as the user reads it, or empty; `detail` gets what only
    // the log needs.
    QString failureOf(const CappedFetch::Result& result, std::optional<AppcastItem>& newer, QString& detail) const;
    void showOutcome(const std::optional<AppcastItem>& newer, const QString& failure);
    void showNoFeed();

    QUrl feed;
    QString version;
    std::shared_ptr<AlertPresenter> alerts;
    std::shared_ptr<Workspace> workspace;
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTimeUtc(); };
    std::unique_ptr<QNetworkAccessManager> network;
    std::unique_ptr<CappedFetch> fetch;
    // Whether someone asked to see the outcome of the check under way.
    bool userWaiting = false;
    // Failed checks are not stored, but still wait a day before the next.
    std::optional<QDateTime> lastAttempt;
    QTimer dailyTimer;
    bool stopped = false;
};
