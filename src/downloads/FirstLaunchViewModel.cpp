#include "downloads/FirstLaunchViewModel.h"

#include "base/Dispatch.h"
#include "base/Published.h"
#include "downloads/ModelDownloads.h"

#include <QPointer>

FirstLaunchViewModel::FirstLaunchViewModel(
    std::function<void()> completion, std::shared_ptr<ModelDownloads> sharedDownloads, QObject* parent)
    : QObject(parent),
      downloads(sharedDownloads ? std::move(sharedDownloads) : std::make_shared<ModelDownloads>()),
      onComplete(std::move(completion))
{
    stallNotice.setSingleShot(true);
    stallNotice.setInterval(defaultStallNotice);
    connect(&stallNotice, &QTimer::timeout, this, &FirstLaunchViewModel::showWaiting);

    ModelDownloads* source = downloads.get();
    connect(source, &ModelDownloads::started, this, &FirstLaunchViewModel::downloadDidStart);
    connect(source, &ModelDownloads::progressed, this, &FirstLaunchViewModel::downloadDidUpdateProgress);
    connect(source, &ModelDownloads::completed, this, &FirstLaunchViewModel::downloadDidComplete);
    connect(source, &ModelDownloads::failed, this, &FirstLaunchViewModel::downloadDidFail);
    connect(source, &ModelDownloads::stopped, this, &FirstLaunchViewModel::downloadStopped);
    if (downloads->isDownloading(model))
        showRunning();
}

void FirstLaunchViewModel::heardFromServer()
{
    stallNotice.start();
}

void FirstLaunchViewModel::showWaiting()
{
    if (!downloading)
        return;
    setStatusText(receivedFigures.isEmpty() ? QStringLiteral("Waiting for the server...")
                                            : QStringLiteral("Waiting for the server... ") + receivedFigures);
}

void FirstLaunchViewModel::setIsDownloading(bool value)
{
    publish(this, downloading, value, &FirstLaunchViewModel::isDownloadingChanged);
}

void FirstLaunchViewModel::setDownloadProgress(double value)
{
    publish(this, progress, value, &FirstLaunchViewModel::downloadProgressChanged);
}

void FirstLaunchViewModel::setDownloadComplete(bool value)
{
    publish(this, complete, value, &FirstLaunchViewModel::downloadCompleteChanged);
}

void FirstLaunchViewModel::setDownloadFailed(bool value)
{
    publish(this, failed, value, &FirstLaunchViewModel::downloadFailedChanged);
}

void FirstLaunchViewModel::setStatusText(const QString& value)
{
    publish(this, status, value, &FirstLaunchViewModel::statusTextChanged);
}

QString FirstLaunchViewModel::descriptionText() const
{
    return QStringLiteral("tallowind needs to download a speech recognition model before you can start "
                          "transcribing.\n\nWe recommend starting with ")
        + model.displayName() + QStringLiteral(" (") + model.estimatedSize()
        + QStringLiteral(") for fastest processing.\nYou can download additional models later in Settings.");
}

QString FirstLaunchViewModel::downloadButtonTitle() const
{
    return QStringLiteral("Download ") + model.displayName() + QStringLiteral(" (") + model.estimatedSize()
        + QStringLiteral(")");
}

void FirstLaunchViewModel::startDownload()
{
    if (downloads->isDownloading(model)) {
        showRunning();
        return;
    }
    setIsDownloading(true);
    setDownloadFailed(false);
    setStatusText(QStringLiteral("Connecting..."));
    receivedFigures.clear();
    heardFromServer();
    downloads->start(model);
}

void FirstLaunchViewModel::showRunning()
{
    const std::optional<ModelDownloads::Running> running = downloads->download(model);
    if (!running)
        return;
    setIsDownloading(true);
    setDownloadComplete(false);
    setDownloadFailed(false);
    receivedFigures.clear();
    if (running->received)
        showProgress(running->received->progress(), running->received->bytesWritten, running->received->totalBytes);
    else
        setStatusText(running->started ? QStringLiteral("Downloading...") : QStringLiteral("Connecting..."));
    heardFromServer();
}

void FirstLaunchViewModel::downloadStopped(WhisperModel stopped)
{
    if (stopped != model)
        return;
    stallNotice.stop();
    setIsDownloading(false);
    setStatusText(QString());
}

void FirstLaunchViewModel::continueToApp()
{
    // Every press arms the dictation; arming what is armed already does
    // nothing, so the window may stay open and be pressed again.
    if (!continued) {
        continued = true;
        emit continuedChanged();
    }
    if (onComplete)
        onComplete();
}

void FirstLaunchViewModel::applyReport(WhisperModel reporting, std::function<void()> change)
{
    // Only the recommended model's download concerns this window, and only
    // while it runs.
    if (reporting != model || !downloads->isDownloading(model))
        return;
    const quint64 round = downloads->round(model);
    QPointer<FirstLaunchViewModel> self(this);
    Dispatch::main().async([self, round, change = std::move(change)] {
        if (self && self->downloads->round(self->model) == round)
            change();
    });
}

void FirstLaunchViewModel::showProgress(double fraction, qint64 bytesWritten, qint64 totalBytes)
{
    setDownloadProgress(fraction);
    const double written = static_cast<double>(bytesWritten) / 1024 / 1024;
    // A server that announced no length gets no made-up total.
    receivedFigures = totalBytes > 0
        ? QString::asprintf("%.1f MB / %.1f MB", written, static_cast<double>(totalBytes) / 1024 / 1024)
        : QString::asprintf("%.1f MB", written);
    setStatusText(QStringLiteral("Downloading... ") + receivedFigures);
}

// Each report is applied one turn of the main queue later, in the order the
// reports came.
void FirstLaunchViewModel::downloadDidStart(WhisperModel reporting)
{
    applyReport(reporting, [this] {
        // A download started from another window shows here too.
        if (!downloading) {
            showRunning();
        } else {
            setStatusText(QStringLiteral("Downloading..."));
            heardFromServer();
        }
    });
}

void FirstLaunchViewModel::downloadDidUpdateProgress(
    double fraction, qint64 bytesWritten, qint64 totalBytes, WhisperModel reporting)
{
    applyReport(reporting, [this, fraction, bytesWritten, totalBytes] {
        showProgress(fraction, bytesWritten, totalBytes);
        heardFromServer();
    });
}

void FirstLaunchViewModel::downloadDidComplete(WhisperModel reporting)
{
    applyReport(reporting, [this] {
        stallNotice.stop();
        setIsDownloading(false);
        setDownloadComplete(true);
        setStatusText(QString());
    });
}

void FirstLaunchViewModel::downloadDidFail(const TallowindError& error, WhisperModel reporting)
{
    const QString reason = error.localizedDescription();
    applyReport(reporting, [this, reason] {
        stallNotice.stop();
        setIsDownloading(false);
        setDownloadFailed(true);
        setStatusText(QStringLiteral("Download failed: ") + reason);
    });
}
