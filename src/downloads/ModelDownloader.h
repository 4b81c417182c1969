#pragma once

#include "core/speech/WhisperModel.h"
#include "downloads/ModelDownloadDelegate.h"
#include "downloads/ModelFileTransfer.h"

#include <QNetworkAccessManager>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>

// Downloads one catalogue model into the models folder and reports start,
// progress, completion and failure to its delegate. Lives on the main
// thread; every report is queued, so none arrives inside downloadModel().
// A running download keeps its downloader alive: an owner may let go of it
// and the file still lands. The downloader is released after its final
// report.
class ModelDownloader final : public std::enable_shared_from_this<ModelDownloader> {
public:
    static std::shared_ptr<ModelDownloader> create();
    ~ModelDownloader();
    ModelDownloader(const ModelDownloader&) = delete;
    ModelDownloader& operator=(const ModelDownloader&) = delete;

    // Held weakly; nullptr when none was set or it has been destroyed.
    ModelDownloadDelegate* delegate() const;
    void setDelegate(ModelDownloadDelegate* delegate);

    // Starts downloading `model`; a download still running is stopped first.
    void downloadModel(WhisperModel model);
    // Stops the transfer and removes what it received; no report follows,
    // not even one already queued.
    void cancelDownload();
    // cancelDownload() for every download running in this process, whoever
    // owns it: the process is about to end, and its part-files must not stay.
    static void cancelAllDownloads();

    std::optional<WhisperModel> currentModel() const { return model; }
    bool isRunning() const { return transfer != nullptr; }
    // How long the server may send nothing before the download fails.
    void setStallTimeout(std::chrono::milliseconds timeout) { stallTimeout = timeout; }

private:
    ModelDownloader() = default;

    QNetworkAccessManager& session();
    // Queues a report of the current download; dropped when a newer download
    // or a cancel came in between, or when the delegate is gone.
    void report(std::function<void(ModelDownloadDelegate&)> call, bool final = false);
    void onFinished(WhisperModel finishedModel, const QString& destination, std::optional<TallowindError> error);
    // The downloaders with a running download, each held until it ends.
    static std::set<std::shared_ptr<ModelDownloader>>& running();
    void holdWhileRunning() { running().insert(shared_from_this()); }
    void letGo() { running().erase(shared_from_this()); }

    ModelDownloadDelegate* delegatePointer = nullptr;
    std::weak_ptr<const void> delegateLifetime;
    std::optional<WhisperModel> model;
    std::unique_ptr<QNetworkAccessManager> network;
    std::unique_ptr<ModelFileTransfer> transfer;
    uint64_t generation = 0;
    std::chrono::milliseconds stallTimeout = ModelFileTransfer::defaultStallTimeout;
};
