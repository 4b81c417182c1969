#pragma once

#include "core/config/TallowindError.h"
#include "core/speech/WhisperModel.h"
#include "downloads/ModelDownloadProgress.h"
#include "downloads/ModelDownloadStatus.h"
#include "downloads/ModelDownloadStream.h"
#include "downloads/ModelFileTransfer.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

using ModelDownloadStatusTable = QHash<WhisperModel, ModelDownloadStatus>;

// Downloads catalogue models as a stream of progress values (one per full
// mebibyte, then the final count) and keeps an observable status per model.
// Everything runs on the main thread; the transfers never block it.
class ModelDownloaderAsync final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY isDownloadingChanged)
    Q_PROPERTY(std::optional<ModelDownloadProgress> currentProgress READ currentProgress NOTIFY currentProgressChanged)
    Q_PROPERTY(ModelDownloadStatusTable downloadStatus READ downloadStatus NOTIFY downloadStatusChanged)

public:
    explicit ModelDownloaderAsync(QObject* parent = nullptr);
    // Stops the downloads still running; their streams end with an error.
    ~ModelDownloaderAsync() override;

    bool isDownloading() const { return downloading; }
    const std::optional<ModelDownloadProgress>& currentProgress() const { return progressValue; }
    const ModelDownloadStatusTable& downloadStatus() const { return statusTable; }

    // Starts a download and returns its stream at once; the stream ends
    // normally once the file is in place, or with the error.
    std::shared_ptr<ModelDownloadStream> downloadModel(WhisperModel model);
    // The same download without a stream: the completion gets nothing once
    // the file is in place, or the error. Progress shows only in the
    // published fields. cancelDownload() does not reach it.
    using Completion = std::function<void(std::optional<TallowindError>)>;
    void downloadModelAndWait(WhisperModel model, Completion completion);
    // Stops the download started by the last downloadModel(): its transfer
    // ends, its stream ends with "Download cancelled", and the two published
    // progress fields are cleared at once.
    void cancelDownload();
    // downloaded whenever the model's file exists; else the recorded status,
    // or notDownloaded.
    ModelDownloadStatus status(WhisperModel model) const;

    void setStallTimeout(std::chrono::milliseconds timeout) { stallTimeout = timeout; }

signals:
    void isDownloadingChanged(bool value);
    void currentProgressChanged(const std::optional<ModelDownloadProgress>& value);
    void downloadStatusChanged(const ModelDownloadStatusTable& value);

private:
    struct Job {
        WhisperModel model;
        std::unique_ptr<ModelFileTransfer> transfer;
        // Empty for downloadModelAndWait().
        std::shared_ptr<ModelDownloadStream> stream;
    };

    void setIsDownloading(bool value);
    void setCurrentProgress(const std::optional<ModelDownloadProgress>& value);
    void setStatus(WhisperModel model, const ModelDownloadStatus& status);
    // Every end of a download, normal or not.
    void endJob(int id);
    bool isRunning(int id) const { return jobs.count(id) != 0; }
    int beginJob(WhisperModel model);
    std::optional<TallowindError> placeFile(const QString& partFile, WhisperModel model);

    QNetworkAccessManager network;
    bool downloading = false;
    std::optional<ModelDownloadProgress> progressValue;
    ModelDownloadStatusTable statusTable;
    std::map<int, Job> jobs;
    int lastJobId = 0;
    int lastStreamedJobId = 0;
    std::chrono::milliseconds stallTimeout = ModelFileTransfer::defaultStallTimeout;
};
