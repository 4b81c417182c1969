#include "platform/update/FeedUpdater.h"

#include "base/Defaults.h"
#include "base/Log.h"
#include "platform/AlertPresenter.h"
#include "platform/Workspace.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimeZone>

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifndef TALLOWIND_UPDATE_FEED_ADDRESS
#define TALLOWIND_UPDATE_FEED_ADDRESS ""
#endif
#ifndef TALLOWIND_BUILD_VERSION
#define TALLOWIND_BUILD_VERSION "0"
#endif

namespace {

// A feed that does not answer within this time counts as unreachable.
constexpr int feedTimeoutMs = 30 * 1000;

// "404 Not Found"; the phrase is the server's, so it is kept short.
QString httpStatusText(const CappedFetch::Result& result)
{
    const QString phrase = result.detail.simplified().left(60);
    return phrase.isEmpty() ? QString::number(result.httpStatus)
                            : QStringLiteral("%1 %2").arg(result.httpStatus).arg(phrase);
}

} // namespace

QUrl FeedUpdater::configuredFeedAddress()
{
    const QString overridden = qEnvironmentVariable("TALLOWIND_UPDATE_FEED_URL").trimmed();
    return QUrl(overridden.isEmpty() ? QStringLiteral(TALLOWIND_UPDATE_FEED_ADDRESS) : overridden);
}

QString FeedUpdater::buildVersion()
{
    return QStringLiteral(TALLOWIND_BUILD_VERSION);
}

FeedUpdater::FeedUpdater(QUrl feedAddress, QString currentVersion, std::shared_ptr<AlertPresenter> alertPresenter,
    std::shared_ptr<Workspace> desktop)
    : feed(std::move(feedAddress)),
      version(std::move(currentVersion)),
      alerts(std::move(alertPresenter)),
      workspace(std::move(desktop))
{
    dailyTimer.setSingleShot(true);
    QObject::connect(&dailyTimer, &QTimer::timeout, [this] { beginCheck(false); });
}

FeedUpdater::~FeedUpdater() = default;

void FeedUpdater::start()
{
    const int launches = Defaults::value(launchCountKey).toInt() + 1;
    Defaults::setValue(launchCountKey, launches);
    if (!feed.isValid() || feed.isEmpty()) {
        Log::system(QStringLiteral("[Updater] No update feed in this build; scheduled checks are off"));
        return;
    }
    // The first launch is left alone; the question comes on the second,
    // after start-up has finished.
    if (!Defaults::contains(automaticChecksKey)) {
        if (launches >= 2)
            QTimer::singleShot(0, &dailyTimer, [this] { askAboutAutomaticChecks(); });
        return;
    }
    scheduleNextCheck();
}

void FeedUpdater::askAboutAutomaticChecks()
{
    if (stopped)
        return;
    Alert alert;
    alert.messageText = QStringLiteral("Check for updates automatically?");
    alert.informativeText =
        QStringLiteral("Tallowind can look for a newer version once a day. You can always check yourself with "
                       "\u201cCheck for Updates...\u201d in the tray menu.");
    alert.style = AlertStyle::Informational;
    alert.buttons = {QStringLiteral("Check Automatically"), QStringLiteral("Don't Check")};
    const int answer = alerts ? alerts->runModal(alert) : -1;
    // Only a button decides: an alert dismissed with Escape or its close
    // button stores nothing, so the question comes again at the next start.
    if (answer != 0 && answer != 1)
        return;
    Defaults::setValue(automaticChecksKey, answer == 0);
    scheduleNextCheck();
}

void FeedUpdater::scheduleNextCheck()
{
    dailyTimer.stop();
    if (stopped || !Defaults::value(automaticChecksKey).toBool())
        return;
    std::optional<QDateTime> last = lastAttempt;
    if (Defaults::contains(lastCheckKey)) {
        const QDateTime stored =
            QDateTime::fromSecsSinceEpoch(Defaults::value(lastCheckKey).toLongLong(), QTimeZone::utc());
        if (!last || stored > *last)
            last = stored;
    }
    const qint64 dueInSeconds =
        last ? std::clamp<qint64>(clock().secsTo(last->addSecs(checkIntervalSeconds)), 0, checkIntervalSeconds) : 0;
    dailyTimer.start(static_cast<int>(dueInSeconds * 1000));
}

int FeedUpdater::scheduledCheckInMs() const
{
    return dailyTimer.isActive() ? dailyTimer.remainingTime() : -1;
}

void FeedUpdater::checkForUpdates()
{
    beginCheck(true);
}

void FeedUpdater::stop()
{
    stopped = true;
    dailyTimer.stop();
    userWaiting = false;
    fetch.reset();
}

void FeedUpdater::beginCheck(bool userInitiated)
{
    if (stopped)
        return;
    userWaiting = userWaiting || userInitiated;
    if (fetch)
        return; // the check under way answers this request too
    if (!feed.isValid() || feed.isEmpty()) {
        if (userInitiated)
            showNoFeed();
        userWaiting = false;
        return;
    }
    if (!network)
        network = std::make_unique<QNetworkAccessManager>();
    QNetworkRequest request(feed);
    request.setTransferTimeout(feedTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Tallowind/%1").arg(version));
    fetch = std::make_unique<CappedFetch>(
        *network, request, largestFeedBytes, [this](const CappedFetch::Result& result) { finishCheck(result); });
}

QString FeedUpdater::failureOf(
    const CappedFetch::Result& result, std::optional<AppcastItem>& newer, QString& detail) const
{
    switch (result.outcome) {
    case CappedFetch::Outcome::TooLarge:
        return QStringLiteral("The update feed is too large (more than %1 MB), so it was not read.")
            .arg(largestFeedBytes / (1024 * 1024));
    case CappedFetch::Outcome::TimedOut:
        return QStringLiteral("The update feed did not answer in time.");
    case CappedFetch::Outcome::HttpError:
        return QStringLiteral("The update feed could not be reached: the server answered HTTP %1.")
            .arg(httpStatusText(result));
    case CappedFetch::Outcome::NetworkError:
        return QStringLiteral("The update feed could not be reached: %1").arg(result.detail);
    case CappedFetch::Outcome::Received:
        break;
    }
    const AppcastParseResult parsed = Appcast::parse(result.body);
    detail = parsed.detail;
    if (parsed.error.isEmpty())
        newer = Appcast::newerThan(parsed.items, version);
    return parsed.error;
}

void FeedUpdater::finishCheck(const CappedFetch::Result& result)
{
    QString detail;
    std::optional<AppcastItem> newer;
    const QString failure = failureOf(result, newer, detail);
    // This runs inside the fetch's own callback, which `result` lives in.
    fetch.release()->deleteLater();
#ifdef __GLIBC__
    // The cap's worth of buffer, freed by now, would otherwise stay in the
    // allocator's free lists for the life of a tray tool.
    if (result.outcome == CappedFetch::Outcome::TooLarge)
        malloc_trim(0);
#endif
    const bool showToUser = userWaiting;
    userWaiting = false;
    lastAttempt = clock();

    if (failure.isEmpty()) {
        Defaults::setValue(lastCheckKey, clock().toSecsSinceEpoch());
        Log::system(newer ? QStringLiteral("[Updater] Version %1 is available").arg(newer->displayVersion)
                          : QStringLiteral("[Updater] Up to date (%1)").arg(version));
    } else {
        Log::system(QStringLiteral("[Updater] Update check failed for %1: %2%3")
                        .arg(feed.toDisplayString(), failure,
                            detail.isEmpty() ? QString() : QStringLiteral(" (") + detail + u')'));
    }
    scheduleNextCheck();
    // A scheduled check speaks up only when there is something new.
    if (showToUser || newer)
        showOutcome(newer, failure);
}

void FeedUpdater::showNoFeed()
{
    if (!alerts)
        return;
    Alert alert;
    alert.messageText = QStringLiteral("No update feed");
    alert.informativeText =
        QStringLiteral("This build of Tallowind has no update feed, so it does not look for newer versions.");
    alert.style = AlertStyle::Informational;
    alerts->runModal(alert);
}

void FeedUpdater::showOutcome(const std::optional<AppcastItem>& newer, const QString& failure)
{
    if (!alerts)
        return;
    Alert alert;
    if (!failure.isEmpty()) {
        alert.messageText = QStringLiteral("Update check failed");
        alert.informativeText = failure;
        alert.style = AlertStyle::Warning;
        alerts->runModal(alert);
        return;
    }
    if (!newer) {
        alert.messageText = QStringLiteral("You're up to date");
        alert.informativeText = QStringLiteral("Tallowind %1 is the newest version available.").arg(version);
        alert.style = AlertStyle::Informational;
        alerts->runModal(alert);
        return;
    }
    alert.messageText = QStringLiteral("Tallowind %1 is available").arg(newer->displayVersion);
    alert.informativeText = QStringLiteral("You have version %1.").arg(version);
    if (!newer->title.isEmpty())
        alert.informativeText += QStringLiteral("\n\n") + newer->title;
    alert.detailsHtml = Appcast::notesAsHtml(newer->notes);
    alert.style = AlertStyle::Informational;
    QList<QUrl> targets;
    if (newer->downloadLink.isValid() && !newer->downloadLink.isEmpty()) {
        alert.buttons.append(QStringLiteral("Open Download Page"));
        targets.append(newer->downloadLink);
    }
    if (newer->releaseNotesLink.isValid() && !newer->releaseNotesLink.isEmpty()) {
        alert.buttons.append(QStringLiteral("Release Notes"));
        targets.append(newer->releaseNotesLink);
    }
    alert.buttons.append(QStringLiteral("Later"));
    const int choice = alerts->runModal(alert);
    if (choice >= 0 && choice < targets.size() && workspace)
        workspace->openURL(targets[choice]);
}
