#pragma once

#include "core/config/TallowindError.h"
#include "core/speech/WhisperModel.h"
#include "downloads/ModelDownloadDelegate.h"
#include "downloads/ModelDownloadProgress.h"

#include <QHash>
#include <QObject>

#include <memory>
#include <optional>

class ModelDownloader;

// The model downloads under way in this process, whoever started them: one
// transfer per model, which every view of that model follows and any of
// them may stop. A second transfer of a running model would fetch the whole
// file again. Main thread only.
class ModelDownloads final : public QObject, private ModelDownloadDelegate {
    Q_OBJECT
public:
    // What a running download has reported so far.
    struct Running {
        bool started = false;
        // Present once a progress report came.
        std::optional<ModelDownloadProgress> received;
    };

    explicit ModelDownloads(QObject* parent = nullptr);
    // Running downloads go on to their end; nobody hears of it.
    ~ModelDownloads() override;

    // Starts a download of the model unless one runs; false when one does.
    bool start(WhisperModel model);
    // Stops the model's running download, if any, and removes what it
    // received; `stopped` tells every view.
    void stop(WhisperModel model);
    bool isDownloading(WhisperModel model) const { return running.contains(model); }
    std::optional<Running> download(WhisperModel model) const;
    // Changes whenever a download of the model starts or is stopped, so a
    // view that applies a report later can tell that it is out of date.
    quint64 round(WhisperModel model) const { return rounds.value(model); }

signals:
    // The reports of every running download, as its downloader made them.
    void started(WhisperModel model);
    void progressed(double progress, qint64 bytesWritten, qint64 totalBytes, WhisperModel model);
    void completed(WhisperModel model);
    void failed(const TallowindError& error, WhisperModel model);
    // A running download was stopped; it reports nothing more.
    void stopped(WhisperModel model);

private:
    struct Entry {
        Running state;
        std::shared_ptr<ModelDownloader> downloader;
    };

    void downloadDidStart(WhisperModel model) override;
    void downloadDidUpdateProgress(
        double progress, qint64 bytesWritten, qint64 totalBytes, WhisperModel model) override;
    void downloadDidComplete(WhisperModel model) override;
    void downloadDidFail(const TallowindError& error, WhisperModel model) override;
    void nextRound(WhisperModel model) { rounds.insert(model, ++lastRound); }
    // Unless the download was stopped or replaced during its final report.
    void ended(WhisperModel model, quint64 reportingRound);

    QHash<WhisperModel, Entry> running;
    QHash<WhisperModel, quint64> rounds;
    quint64 lastRound = 0;
};
