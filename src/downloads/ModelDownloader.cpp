#include "downloads/ModelDownloader.h"

#include "base/Dispatch.h"
#include "core/speech/ModelManager.h"
#include "downloads/ModelDownloadAddress.h"
#include "downloads/ModelDownloadFailures.h"
#include "downloads/PartFiles.h"

#include <QDir>
#include <QFileInfo>

std::shared_ptr<ModelDownloader> ModelDownloader::create()
{
    return std::shared_ptr<ModelDownloader>(new ModelDownloader());
}

ModelDownloader::~ModelDownloader() = default;

ModelDownloadDelegate* ModelDownloader::delegate() const
{
    return delegateLifetime.expired() ? nullptr : delegatePointer;
}

void ModelDownloader::setDelegate(ModelDownloadDelegate* newDelegate)
{
    delegatePointer = newDelegate;
    delegateLifetime = newDelegate ? newDelegate->lifetime() : std::weak_ptr<const void>();
}

QNetworkAccessManager& ModelDownloader::session()
{
    if (!network)
        network = std::make_unique<QNetworkAccessManager>();
    return *network;
}

void ModelDownloader::report(std::function<void(ModelDownloadDelegate&)> call, bool final)
{
    Dispatch::main().async([self = shared_from_this(), expected = generation, call = std::move(call), final] {
        if (self->generation != expected)
            return;
        if (final) {
            // The download has ended: its transfer and the hold on the
            // downloader go now, before the delegate may start another.
            self->transfer.reset();
            self->letGo();
        }
        if (ModelDownloadDelegate* target = self->delegate())
            call(*target);
    });
}

void ModelDownloader::downloadModel(WhisperModel newModel)
{
    const auto self = shared_from_this();
    if (transfer)
        cancelDownload();
    ++generation;
    model = newModel;

    const std::optional<QUrl> url = modelDownloadAddress(newModel);
    if (!url) {
        ModelDownloadFailures::log(newModel, QUrl(newModel.downloadURL()), TallowindError::invalidModelURL());
        report([newModel](ModelDownloadDelegate& target) {
            target.downloadDidFail(TallowindError::invalidModelURL(), newModel);
        });
        return;
    }
    report([newModel](ModelDownloadDelegate& target) { target.downloadDidStart(newModel); });

    const QString destination = ModelManager::shared().modelPath(newModel);
    QDir().mkpath(QFileInfo(destination).absolutePath());
    holdWhileRunning();
    transfer = std::make_unique<ModelFileTransfer>(
        session(), *url, PartFiles::newPartFilePath(destination),
        [this, newModel](qint64 written, qint64 total) {
            const double fraction = total > 0 ? static_cast<double>(written) / static_cast<double>(total) : 0.0;
            report([=](ModelDownloadDelegate& target) {
                target.downloadDidUpdateProgress(fraction, written, total, newModel);
            });
        },
        [this, newModel, destination](
            std::optional<TallowindError> error) { onFinished(newModel, destination, std::move(error)); },
        stallTimeout);
    transfer->start();
}

void ModelDownloader::onFinished(
    WhisperModel finishedModel, const QString& destination, std::optional<TallowindError> error)
{
    if (!error)
        error = PartFiles::replaceDestination(transfer->partFile(), destination);
    if (error) {
        ModelDownloadFailures::log(finishedModel, transfer->address(), *error);
        report([finishedModel, failure = *error](
                   ModelDownloadDelegate& target) { target.downloadDidFail(failure, finishedModel); },
            true);
    } else {
        report([finishedModel](ModelDownloadDelegate& target) { target.downloadDidComplete(finishedModel); }, true);
    }
}

void ModelDownloader::cancelDownload()
{
    const auto self = shared_from_this();
    ++generation;
    transfer.reset();
    model.reset();
    letGo();
}

std::set<std::shared_ptr<ModelDownloader>>& ModelDownloader::running()
{
    // Never destroyed: a download still running at exit must not outlive
    // the application object it works in.
    static auto* downloaders = new std::set<std::shared_ptr<ModelDownloader>>();
    return *downloaders;
}

void ModelDownloader::cancelAllDownloads()
{
    // Cancelling changes the set.
    const std::set<std::shared_ptr<ModelDownloader>> downloaders = running();
    for (const std::shared_ptr<ModelDownloader>& downloader : downloaders)
        downloader->cancelDownload();
}
