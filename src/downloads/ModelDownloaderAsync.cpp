#include "downloads/ModelDownloaderAsync.h"

#include "base/Published.h"
#include "core/speech/ModelManager.h"
#include "downloads/DownloadToFile.h"
#include "downloads/MebibyteMarks.h"
#include "downloads/ModelDownloadAddress.h"
#include "downloads/ModelDownloadFailures.h"
#include "downloads/PartFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace {

TallowindError cancelled()
{
    return TallowindError::modelDownloadFailed(QStringLiteral("Download cancelled"));
}

QString destinationOf(WhisperModel model)
{
    return ModelManager::shared().modelPath(model);
}

// What the stream ends with: a download failure, named once. Reasons that
// already are one pass unchanged; others become its reason.
TallowindError streamFailure(const TallowindError& error)
{
    if (error.kind() == TallowindError::Kind::modelDownloadFailed
        || error.kind() == TallowindError::Kind::invalidModelURL)
        return error;
    return TallowindError::modelDownloadFailed(error.localizedDescription());
}

// This downloader names any final status outside 2xx the same way, where the
// transfer works out a clearer reason for the downloads the user starts.
TallowindError ownFailure(const TallowindError& error, int status)
{
    if (status != 0 && (status < 200 || status > 299))
        return TallowindError::networkError(QStringLiteral("Invalid response from server"));
    return error;
}

// Why a download cannot begin: no address, or no models folder to receive it.
std::optional<TallowindError> refusalOf(const std::optional<QUrl>& url, const QString& destination)
{
    if (!url)
        return TallowindError::invalidModelURL();
    const QString folder = QFileInfo(destination).absolutePath();
    if (!QDir().mkpath(folder))
        return TallowindError::fileOperationFailed(QStringLiteral("create folder"), folder);
    return std::nullopt;
}

} // namespace

ModelDownloaderAsync::ModelDownloaderAsync(QObject* parent) : QObject(parent) { }

ModelDownloaderAsync::~ModelDownloaderAsync()
{
    for (auto& [id, job] : jobs) {
        job.transfer.reset();
        if (job.stream)
            job.stream->finish(cancelled());
    }
}

void ModelDownloaderAsync::setIsDownloading(bool value)
{
    publish(this, downloading, value, &ModelDownloaderAsync::isDownloadingChanged);
}

void ModelDownloaderAsync::setCurrentProgress(const std::optional<ModelDownloadProgress>& value)
{
    publish(this, progressValue, value, &ModelDownloaderAsync::currentProgressChanged);
}

void ModelDownloaderAsync::setStatus(WhisperModel model, const ModelDownloadStatus& status)
{
    statusTable.insert(model, status);
    emit downloadStatusChanged(statusTable);
}

int ModelDownloaderAsync::beginJob(WhisperModel model)
{
    const int id = ++lastJobId;
    jobs.emplace(id, Job{model, nullptr, nullptr});
    setIsDownloading(true);
    setStatus(model, ModelDownloadStatus::downloading(0, 0, 0));
    return id;
}

void ModelDownloaderAsync::endJob(int id)
{
    auto found = jobs.find(id);
    if (found == jobs.end())
        return;
    // This may run inside the transfer's own callback: let it unwind first.
    if (found->second.transfer)
        found->second.transfer.release()->deleteLater();
    jobs.erase(found);
    // True while another download still runs.
    setIsDownloading(!jobs.empty());
    setCurrentProgress(std::nullopt);
}

std::optional<TallowindError> ModelDownloaderAsync::placeFile(const QString& partFile, WhisperModel model)
{
    return PartFiles::replaceDestination(partFile, destinationOf(model));
}

std::shared_ptr<ModelDownloadStream> ModelDownloaderAsync::downloadModel(WhisperModel model)
{
    auto stream = std::make_shared<ModelDownloadStream>();
    const int id = beginJob(model);
    lastStreamedJobId = id;
    jobs.at(id).stream = stream;

    const std::optional<QUrl> url = modelDownloadAddress(model);
    const QString destination = destinationOf(model);
    const std::optional<TallowindError> refusal = refusalOf(url, destination);
    if (refusal) {
        ModelDownloadFailures::log(model, url.value_or(QUrl(model.downloadURL())), *refusal);
        setStatus(model, ModelDownloadStatus::failed(*refusal));
        endJob(id);
        const TallowindError ending = streamFailure(*refusal);
        QTimer::singleShot(0, stream.get(), [stream, ending] { stream->finish(ending); });
        return stream;
    }

    auto reported = std::make_shared<qint64>(0);
    const QString partFile = PartFiles::newPartFilePath(destination);
    jobs.at(id).transfer = std::make_unique<ModelFileTransfer>(
        network, *url, partFile,
        [this, id, model, stream, reported](qint64 written, qint64 total) {
            if (!isRunning(id))
                return;
            MebibyteMarks::forEachPassed(*reported, written, [&](qint64 mark) {
                const ModelDownloadProgress snapshot{mark, total};
                stream->yield(snapshot);
                setCurrentProgress(snapshot);
                setStatus(model, ModelDownloadStatus::downloading(snapshot.progress(), written, total));
            });
            *reported = written;
        },
        [this, id, model, stream, partFile, address = *url](std::optional<TallowindError> error) {
            if (!isRunning(id))
                return;
            const ModelFileTransfer& transfer = *jobs.at(id).transfer;
            if (!error) {
                stream->yield(ModelDownloadProgress{transfer.bytesWritten(), transfer.totalBytes()});
                error = placeFile(partFile, model);
            }
            if (error) {
                // The log keeps the clearer reason.
                ModelDownloadFailures::log(model, address, *error);
                error = ownFailure(*error, transfer.statusCode());
                setStatus(model, ModelDownloadStatus::failed(*error));
                endJob(id);
                stream->finish(streamFailure(*error));
                return;
            }
            setStatus(model, ModelDownloadStatus::downloaded());
            endJob(id);
            stream->finish();
        },
        stallTimeout);
    jobs.at(id).transfer->start();
    return stream;
}

void ModelDownloaderAsync::downloadModelAndWait(WhisperModel model, Completion completion)
{
    const int id = beginJob(model);
    const std::optional<QUrl> url = modelDownloadAddress(model);
    const QString destination = destinationOf(model);
    const std::optional<TallowindError> refusal = refusalOf(url, destination);
    if (refusal) {
        ModelDownloadFailures::log(model, url.value_or(QUrl(model.downloadURL())), *refusal);
        setStatus(model, ModelDownloadStatus::failed(*refusal));
        endJob(id);
        QTimer::singleShot(0, this, [completion, failure = *refusal] { completion(failure); });
        return;
    }

    jobs.at(id).transfer = downloadToFile(
        network, *url, destination,
        [this, id, model](qint64 completed, qint64 total) {
            if (!isRunning(id))
                return;
            const ModelDownloadProgress value{completed, total};
            setCurrentProgress(value);
            setStatus(model, ModelDownloadStatus::downloading(value.progress(), completed, total));
        },
        [this, id, model, completion, address = *url](DownloadResult result) {
            if (!isRunning(id))
                return;
            std::optional<TallowindError> error;
            if (auto* failure = std::get_if<TallowindError>(&result))
                error = *failure;
            else
                error = placeFile(std::get<DownloadedFile>(result).path, model);
            if (error)
                ModelDownloadFailures::log(model, address, *error);
            setStatus(model, error ? ModelDownloadStatus::failed(*error) : ModelDownloadStatus::downloaded());
            endJob(id);
            completion(error);
        },
        stallTimeout);
}

void ModelDownloaderAsync::cancelDownload()
{
    auto found = jobs.find(lastStreamedJobId);
    if (found != jobs.end()) {
        Job& job = found->second;
        // Stops the transfer and removes its part-file at once.
        if (job.transfer)
            job.transfer->abort();
        setStatus(job.model, ModelDownloadStatus::failed(cancelled()));
        if (auto stream = job.stream)
            QTimer::singleShot(0, stream.get(), [stream] { stream->finish(cancelled()); });
        endJob(found->first);
    }
    setIsDownloading(!jobs.empty());
    setCurrentProgress(std::nullopt);
}

ModelDownloadStatus ModelDownloaderAsync::status(WhisperModel model) const
{
    if (ModelManager::shared().isModelDownloaded(model))
        return ModelDownloadStatus::downloaded();
    return statusTable.value(model, ModelDownloadStatus::notDownloaded());
}
