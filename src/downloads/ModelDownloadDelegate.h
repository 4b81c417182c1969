#pragma once

#include "core/config/TallowindError.h"
#include "core/speech/WhisperModel.h"

#include <QtGlobal>

#include <memory>

// The four reports of a ModelDownloader, always made on the main thread.
// A downloader holds its delegate weakly: a delegate that is destroyed
// simply stops receiving reports.
class ModelDownloadDelegate {
public:
    ModelDownloadDelegate() = default;
    virtual ~ModelDownloadDelegate() = default;
    ModelDownloadDelegate(const ModelDownloadDelegate&) = delete;
    ModelDownloadDelegate& operator=(const ModelDownloadDelegate&) = delete;

    virtual void downloadDidStart(WhisperModel model) = 0;
    // `progress` is 0 when the server announced no length (`totalBytes` -1)
    // or a zero length.
    virtual void downloadDidUpdateProgress(
        double progress, qint64 bytesWritten, qint64 totalBytes, WhisperModel model) = 0;
    virtual void downloadDidComplete(WhisperModel model) = 0;
    virtual void downloadDidFail(const TallowindError& error, WhisperModel model) = 0;

    // Expires when this delegate is destroyed.
    std::weak_ptr<const void> lifetime() const { return alive; }

private:
    std::shared_ptr<const void> alive = std::make_shared<int>(0);
};
