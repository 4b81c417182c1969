#pragma once

#include "core/speech/WhisperModel.h"
#include "downloads/ModelDownloadDelegate.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class ModelDownloads;

// The welcome window's state: downloads the recommended model and, once it
// is in place, lets the user continue into the tool. It follows the
// model's download wherever it was started, so a window opened during one
// shows it rather than offering a second. Main thread only.
class FirstLaunchViewModel : public QObject, public ModelDownloadDelegate {
    Q_OBJECT
    Q_PROPERTY(bool isDownloading READ isDownloading WRITE setIsDownloading NOTIFY isDownloadingChanged)
    Q_PROPERTY(double downloadProgress READ downloadProgress WRITE setDownloadProgress NOTIFY downloadProgressChanged)
    Q_PROPERTY(bool downloadComplete READ downloadComplete WRITE setDownloadComplete NOTIFY downloadCompleteChanged)
    Q_PROPERTY(bool downloadFailed READ downloadFailed WRITE setDownloadFailed NOTIFY downloadFailedChanged)
    Q_PROPERTY(QString statusText READ statusText WRITE setStatusText NOTIFY statusTextChanged)

public:
    // Without `downloads`, the view model keeps downloads of its own.
    explicit FirstLaunchViewModel(std::function<void()> onComplete, std::shared_ptr<ModelDownloads> downloads = nullptr,
        QObject* parent = nullptr);

    bool isDownloading() const { return downloading; }
    void setIsDownloading(bool value);
    double downloadProgress() const { return progress; }
    void setDownloadProgress(double value);
    bool downloadComplete() const { return complete; }
    void setDownloadComplete(bool value);
    bool downloadFailed() const { return failed; }
    void setDownloadFailed(bool value);
    QString statusText() const { return status; }
    void setStatusText(const QString& value);

    QString descriptionText() const;
    QString downloadButtonTitle() const;
    WhisperModel defaultModel() const { return model; }
    // How long a download may receive nothing before the status line says
    // that it waits for the server.
    static constexpr std::chrono::milliseconds defaultStallNotice{5000};
    void setStallNoticeAfter(std::chrono::milliseconds interval) { stallNotice.setInterval(interval); }

    // Starts a fresh download of the recommended model, or shows the one
    // that runs already.
    void startDownload();
    // Arms the dictation, on every call.
    void continueToApp();
    bool hasContinued() const { return continued; }

    void downloadDidStart(WhisperModel model) override;
    void downloadDidUpdateProgress(
        double progress, qint64 bytesWritten, qint64 totalBytes, WhisperModel model) override;
    void downloadDidComplete(WhisperModel model) override;
    void downloadDidFail(const TallowindError& error, WhisperModel model) override;

signals:
    void isDownloadingChanged(bool value);
    void downloadProgressChanged(double value);
    void downloadCompleteChanged(bool value);
    void downloadFailedChanged(bool value);
    void statusTextChanged(const QString& value);
    // The continue action has been taken.
    void continuedChanged();

private:
    // Each sign of life from the server restarts the stall notice.
    void heardFromServer();
    void showWaiting();
    // Shows the running download of the model as far as it has come.
    void showRunning();
    // Runs `change` one turn of the main queue later for a report of the
    // recommended model's running download, unless that download has been
    // stopped or replaced by then.
    void applyReport(WhisperModel reporting, std::function<void()> change);
    void showProgress(double fraction, qint64 bytesWritten, qint64 totalBytes);
    // Someone stopped the download: the window offers it again.
    void downloadStopped(WhisperModel stopped);

    bool downloading = false;
    double progress = 0.0;
    bool complete = false;
    bool failed = false;
    QString status;
    std::shared_ptr<ModelDownloads> downloads;
    const WhisperModel model = WhisperModel(WhisperModel::largeV3TurboQ5);
    const std::function<void()> onComplete;
    bool continued = false;
    QTimer stallNotice;
    // "1.5 MB / 7.6 MB" of the last progress line, for the waiting line.
    QString receivedFigures;
};
