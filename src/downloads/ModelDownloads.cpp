#include "downloads/ModelDownloads.h"

#include "downloads/ModelDownloader.h"

ModelDownloads::ModelDownloads(QObject* parent) : QObject(parent) { }

ModelDownloads::~ModelDownloads() = default;

bool ModelDownloads::start(WhisperModel model)
{
    if (running.contains(model))
        return false;
    nextRound(model);
    Entry& entry = running[model];
    entry.downloader = ModelDownloader::create();
    entry.downloader->setDelegate(this);
    entry.downloader->downloadModel(model);
    return true;
}

void ModelDownloads::stop(WhisperModel model)
{
    const auto found = running.find(model);
    if (found == running.end())
        return;
    const std::shared_ptr<ModelDownloader> downloader = found->downloader;
    running.erase(found);
    nextRound(model);
    downloader->cancelDownload();
    emit stopped(model);
}

std::optional<ModelDownloads::Running> ModelDownloads::download(WhisperModel model) const
{
    const auto found = running.constFind(model);
    if (found == running.constEnd())
        return std::nullopt;
    return found->state;
}

void ModelDownloads::downloadDidStart(WhisperModel model)
{
    if (const auto found = running.find(model); found != running.end())
        found->state.started = true;
    emit started(model);
}

void ModelDownloads::downloadDidUpdateProgress(
    double progress, qint64 bytesWritten, qint64 totalBytes, WhisperModel model)
{
    if (const auto found = running.find(model); found != running.end())
        found->state.received = ModelDownloadProgress{bytesWritten, totalBytes};
    emit progressed(progress, bytesWritten, totalBytes, model);
}

// The views hear of the end while the download still counts as running, so
// they can tell its final report from a stray one.
void ModelDownloads::downloadDidComplete(WhisperModel model)
{
    const quint64 reporting = round(model);
    emit completed(model);
    ended(model, reporting);
}

void ModelDownloads::downloadDidFail(const TallowindError& error, WhisperModel model)
{
    const quint64 reporting = round(model);
    emit failed(error, model);
    ended(model, reporting);
}

void ModelDownloads::ended(WhisperModel model, quint64 reportingRound)
{
    if (round(model) == reportingRound)
        running.remove(model);
}
