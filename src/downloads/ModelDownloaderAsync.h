#pragma once

#include "core/config/TallowindError.h"
#include "core/speech/WhisperModel.h"
#include "downloads/ModelDownloadProgress.h"
#include "downloads/ModelDownloadStatus.h"
#include "downloads/ModelDownloadStream.h"
#include "downloads/ModelFileTransfer.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

using ModelDownloadStatusTable = QHash<WhisperModel, ModelDownloadStatus>;

class QNetworkAccessManager;

// Downloads catalogue models as a stream of progress values (one per full
// mebibyte, then the final count) and keeps an observable status per model.
// Everything runs on the main thread; the transfers never block it. A
// download outlives its downloader: the file still lands, the stream still
// ends and the completion still comes; only the published fields go.
class ModelDownloaderAsync final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY isDownloadingChanged)
    Q_PROPERTY(std::optional<ModelDownloadProgress> currentProgress READ currentProgress NOTIFY currentProgressChanged)
    Q_PROPERTY(ModelDownloadStatusTable downloadStatus READ downloadStatus NOTIFY downloadStatusChanged)

public:
    // The longest a streamed download may take as a whole.
    static constexpr std::chrono::milliseconds defaultTimeLimit = std::chrono::hours(1);

    explicit ModelDownloaderAsync(QObject* parent = nullptr);
    // Cancels nothing.
    ~ModelDownloaderAsync() override;

    bool isDownloading() const { return downloading; }
    const std::optional<ModelDownloadProgress>& currentProgress() const { return progressValue; }
    const ModelDownloadStatusTable& downloadStatus() const { return statusTable; }

    // Starts a download and returns its stream at once; the stream ends
    // normally once the file is in place, or with the error.
    std::shared_ptr<ModelDownloadStream> downloadModel(WhisperModel model);
    // The same download without a stream: the completion always comes,
    // with nothing once the file is in place, or with the error; never from
    // inside this call. Progress shows only in the published fields.
    // cancelDownload() does not reach it.
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
    // For streamed downloads started afterwards.
    void setTimeLimit(std::chrono::milliseconds limit) { timeLimit = limit; }

signals:
    void isDownloadingChanged(bool value);
    void currentProgressChanged(const std::optional<ModelDownloadProgress>& value);
    void downloadStatusChanged(const ModelDownloadStatusTable& value);

private:
    // One running download, which may outlive this downloader.
    class Job;

    void setIsDownloading(bool value);
    void setCurrentProgress(const std::optional<ModelDownloadProgress>& value);
    void setStatus(WhisperModel model, const ModelDownloadStatus& status);
    int beginJob(WhisperModel model);
    // A download that cannot begin: logged and recorded as failed.
    void refuse(int id, WhisperModel model, const std::optional<QUrl>& url, const TallowindError& reason);
    Job* addJob(int id, WhisperModel model);
    // Every end of a download, normal or not.
    void endJob(int id);

    // Shared with the running jobs, which may outlive this downloader.
    std::shared_ptr<QNetworkAccessManager> network;
    bool downloading = false;
    std::optional<ModelDownloadProgress> progressValue;
    ModelDownloadStatusTable statusTable;
    std::map<int, QPointer<Job>> jobs;
    int lastJobId = 0;
    int lastStreamedJobId = 0;
    std::chrono::milliseconds stallTimeout = ModelFileTransfer::defaultStallTimeout;
    std::chrono::milliseconds timeLimit = defaultTimeLimit;
};
