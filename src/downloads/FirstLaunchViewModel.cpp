#include "downloads/FirstLaunchViewModel.h"

#include "base/Dispatch.h"
#include "base/Published.h"
#include "downloads/ModelDownloader.h"

#include <QPointer>

FirstLaunchViewModel::FirstLaunchViewModel(std::function<void()> completion, QObject* parent)
    : QObject(parent), onComplete(std::move(completion))
{
    stallNotice.setSingleShot(true);
    stallNotice.setInterval(defaultStallNotice);
    connect(&stallNotice, &QTimer::timeout, this, &FirstLaunchViewModel::showWaiting);
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
    setIsDownloading(true);
    setDownloadFailed(false);
    setStatusText(QStringLiteral("Connecting..."));
    receivedFigures.clear();
    heardFromServer();
    downloader = ModelDownloader::create();
    downloader->setDelegate(this);
    downloader->downloadModel(model);
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

// Each report is applied one turn of the main queue later, in the order the
// reports came.
void FirstLaunchViewModel::downloadDidStart(WhisperModel)
{
    QPointer<FirstLaunchViewModel> self(this);
    Dispatch::main().async([self] {
        if (!self)
            return;
        self->setStatusText(QStringLiteral("Downloading..."));
        self->heardFromServer();
    });
}

void FirstLaunchViewModel::downloadDidUpdateProgress(
    double fraction, qint64 bytesWritten, qint64 totalBytes, WhisperModel)
{
    QPointer<FirstLaunchViewModel> self(this);
    Dispatch::main().async([self, fraction, bytesWritten, totalBytes] {
        if (!self)
            return;
        self->setDownloadProgress(fraction);
        const double written = static_cast<double>(bytesWritten) / 1024 / 1024;
        // A server that announced no length gets no made-up total.
        self->receivedFigures = totalBytes > 0
            ? QString::asprintf("%.1f MB / %.1f MB", written, static_cast<double>(totalBytes) / 1024 / 1024)
            : QString::asprintf("%.1f MB", written);
        self->setStatusText(QStringLiteral("Downloading... ") + self->receivedFigures);
        self->heardFromServer();
    });
}

void FirstLaunchViewModel::downloadDidComplete(WhisperModel)
{
    QPointer<FirstLaunchViewModel> self(this);
    Dispatch::main().async([self] {
        if (!self)
            return;
        self->stallNotice.stop();
        self->setIsDownloading(false);
        self->setDownloadComplete(true);
        self->setStatusText(QString());
    });
}

void FirstLaunchViewModel::downloadDidFail(const TallowindError& error, WhisperModel)
{
    const QString reason = error.localizedDescription();
    QPointer<FirstLaunchViewModel> self(this);
    Dispatch::main().async([self, reason] {
        if (!self)
            return;
        self->stallNotice.stop();
        self->setIsDownloading(false);
        self->setDownloadFailed(true);
        self->setStatusText(QStringLiteral("Download failed: ") + reason);
    });
}
