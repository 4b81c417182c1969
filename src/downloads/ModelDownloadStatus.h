#pragma once

#include "core/config/TallowindError.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// The download state of one model as the async downloader records it.
class ModelDownloadStatus {
public:
    enum class Kind { downloading, failed, error, notDownloaded, downloaded };

    ModelDownloadStatus() = default;

    static ModelDownloadStatus downloading(double progress, qint64 bytesDownloaded, qint64 totalBytes)
    {
        ModelDownloadStatus status(Kind::downloading);
        status.progressValue = progress;
        status.bytesDownloadedValue = bytesDownloaded;
        status.totalBytesValue = totalBytes;
        return status;
    }
    static ModelDownloadStatus failed(const TallowindError& error)
    {
        ModelDownloadStatus status(Kind::failed);
        status.failure = error;
        return status;
    }
    static ModelDownloadStatus error(const QString& text)
    {
        ModelDownloadStatus status(Kind::error);
        status.errorText = text;
        return status;
    }
    static ModelDownloadStatus notDownloaded() { return ModelDownloadStatus(Kind::notDownloaded); }
    static ModelDownloadStatus downloaded() { return ModelDownloadStatus(Kind::downloaded); }

    Kind kind() const { return kindValue; }
    // Payload of downloading.
    double progress() const { return progressValue; }
    qint64 bytesDownloaded() const { return bytesDownloadedValue; }
    qint64 totalBytes() const { return totalBytesValue; }
    // Payload of failed.
    const std::optional<TallowindError>& failedError() const { return failure; }
    // Payload of error.
    const QString& text() const { return errorText; }

    friend bool operator==(const ModelDownloadStatus&, const ModelDownloadStatus&) = default;

private:
    explicit ModelDownloadStatus(Kind kind) : kindValue(kind) { }

    Kind kindValue = Kind::notDownloaded;
    double progressValue = 0;
    qint64 bytesDownloadedValue = 0;
    qint64 totalBytesValue = 0;
    std::optional<TallowindError> failure;
    QString errorText;
};
