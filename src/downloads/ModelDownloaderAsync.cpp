#include "downloads/ModelDownloaderAsync.h"

#include "base/DeleteOnNextTurn.h"
#include "base/Dispatch.h"
#include "base/Published.h"
#include "core/speech/ModelManager.h"
#include "downloads/DownloadToFile.h"
#include "downloads/MebibyteMarks.h"
#include "downloads/ModelDownloadAddress.h"
#include "downloads/ModelDownloadFailures.h"
#include "downloads/PartFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
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

// It owns its transfer and a share of the network access, and lets itself
// go when the download ends: its file still lands when the downloader that
// started it has gone.
class ModelDownloaderAsync::Job final : public QObject {
public:
    Job(int jobId, WhisperModel jobModel, ModelDownloaderAsync& starter)
        : id(jobId), model(jobModel), owner(&starter), network(starter.network)
    {
    }

    // Records the outcome with the downloader, if it is still there. The
    // job goes on the next turn: this may run inside its transfer's callback.
    void end(const ModelDownloadStatus& outcome)
    {
        if (owner) {
            owner->setStatus(model, outcome);
            owner->endJob(id);
        }
        deleteOnNextTurn(this);
    }

    const int id;
    const WhisperModel model;
    // Null once the downloader has gone.
    const QPointer<ModelDownloaderAsync> owner;
    // Declared before the transfer, which uses it until its last moment.
    const std::shared_ptr<QNetworkAccessManager> network;
    std::unique_ptr<ModelFileTransfer> transfer;
    // Empty for downloadModelAndWait().
    std::shared_ptr<ModelDownloadStream> stream;
};

ModelDownloaderAsync::ModelDownloaderAsync(QObject* parent)
    : QObject(parent), network(std::make_shared<QNetworkAccessManager>())
{
}

ModelDownloaderAsync::~ModelDownloaderAsync() = default;

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
    setIsDownloading(true);
    setStatus(model, ModelDownloadStatus::downloading(0, 0, 0));
    return id;
}

void ModelDownloaderAsync::refuse(
    int id, WhisperModel model, const std::optional<QUrl>& url, const TallowindError& reason)
{
    ModelDownloadFailures::log(model, url.value_or(QUrl(model.downloadURL())), reason);
    setStatus(model, ModelDownloadStatus::failed(reason));
    endJob(id);
}

ModelDownloaderAsync::Job* ModelDownloaderAsync::addJob(int id, WhisperModel model)
{
    auto* job = new Job(id, model, *this);
    jobs.emplace(id, job);
    return job;
}

void ModelDownloaderAsync::endJob(int id)
{
    jobs.erase(id);
    // True while another download still runs.
    setIsDownloading(!jobs.empty());
    setCurrentProgress(std::nullopt);
}

std::shared_ptr<ModelDownloadStream> ModelDownloaderAsync::downloadModel(WhisperModel model)
{
    auto stream = std::make_shared<ModelDownloadStream>();
    const int id = beginJob(model);
    lastStreamedJobId = id;

    const std::optional<QUrl> url = modelDownloadAddress(model);
    const QString destination = destinationOf(model);
    if (const std::optional<TallowindError> refusal = refusalOf(url, destination)) {
        refuse(id, model, url, *refusal);
        const TallowindError ending = streamFailure(*refusal);
        QTimer::singleShot(0, stream.get(), [stream, ending] { stream->finish(ending); });
        return stream;
    }

    Job* job = addJob(id, model);
    job->stream = stream;
    auto reported = std::make_shared<qint64>(0);
    const QString partFile = PartFiles::newPartFilePath(destination);
    // The callbacks live in the job's transfer, so the job outlives them.
    job->transfer = std::make_unique<ModelFileTransfer>(
        *network, *url, partFile,
        [job, stream, reported](qint64 written, qint64 total) {
            MebibyteMarks::forEachPassed(*reported, written, [&](qint64 mark) {
                const ModelDownloadProgress snapshot{mark, total};
                stream->yield(snapshot);
                if (ModelDownloaderAsync* owner = job->owner) {
                    owner->setCurrentProgress(snapshot);
                    owner->setStatus(job->model, ModelDownloadStatus::downloading(snapshot.progress(), written, total));
                }
            });
            *reported = written;
        },
        [job, stream, partFile, destination, address = *url](std::optional<TallowindError> error) {
            const ModelFileTransfer& transfer = *job->transfer;
            if (!error) {
                stream->yield(ModelDownloadProgress{transfer.bytesWritten(), transfer.totalBytes()});
                error = PartFiles::replaceDestination(partFile, destination);
            }
            if (error) {
                // The log keeps the clearer reason.
                ModelDownloadFailures::log(job->model, address, *error);
                error = ownFailure(*error, transfer.statusCode());
                job->end(ModelDownloadStatus::failed(*error));
                stream->finish(streamFailure(*error));
                return;
            }
            job->end(ModelDownloadStatus::downloaded());
            stream->finish();
        },
        stallTimeout);
    job->transfer->setTimeLimit(timeLimit);
    job->transfer->start();
    return stream;
}

void ModelDownloaderAsync::downloadModelAndWait(WhisperModel model, Completion completion)
{
    const int id = beginJob(model);
    const std::optional<QUrl> url = modelDownloadAddress(model);
    const QString destination = destinationOf(model);
    if (const std::optional<TallowindError> refusal = refusalOf(url, destination)) {
        refuse(id, model, url, *refusal);
        // Not tied to this downloader: the completion comes even if it goes.
        Dispatch::main().async([completion, failure = *refusal] { completion(failure); });
        return;
    }

    Job* job = addJob(id, model);
    job->transfer = downloadToFile(
        *network, *url, destination,
        [job](qint64 completed, qint64 total) {
            ModelDownloaderAsync* owner = job->owner;
            if (!owner)
                return;
            const ModelDownloadProgress value{completed, total};
            owner->setCurrentProgress(value);
            owner->setStatus(job->model, ModelDownloadStatus::downloading(value.progress(), completed, total));
        },
        [job, completion, destination, address = *url](DownloadResult result) {
            std::optional<TallowindError> error;
            if (auto* failure = std::get_if<TallowindError>(&result))
                error = *failure;
            else
                error = PartFiles::replaceDestination(std::get<DownloadedFile>(result).path, destination);
            if (error)
                ModelDownloadFailures::log(job->model, address, *error);
            job->end(error ? ModelDownloadStatus::failed(*error) : ModelDownloadStatus::downloaded());
            completion(error);
        },
        stallTimeout);
}

void ModelDownloaderAsync::cancelDownload()
{
    const auto found = jobs.find(lastStreamedJobId);
    if (found != jobs.end() && found->second) {
        Job* job = found->second;
        // Stops the transfer and removes its part-file at once.
        job->transfer->abort();
        const std::shared_ptr<ModelDownloadStream> stream = job->stream;
        job->end(ModelDownloadStatus::failed(cancelled()));
        QTimer::singleShot(0, stream.get(), [stream] { stream->finish(cancelled()); });
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
