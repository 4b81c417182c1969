#pragma once

#include <QString>

// What a model card shows about one model's file: a download under way with
// its fraction, the text of the last failure, absent, or on disk.
class DownloadStatus {
public:
    enum class Kind { downloading, error, notDownloaded, downloaded };

    DownloadStatus() = default;

    static DownloadStatus downloading(float progress)
    {
        DownloadStatus status(Kind::downloading);
        status.fraction = progress;
        return status;
    }
    static DownloadStatus error(const QString& message)
    {
        DownloadStatus status(Kind::error);
        status.text = message;
        return status;
    }
    static DownloadStatus notDownloaded() { return DownloadStatus(Kind::notDownloaded); }
    static DownloadStatus downloaded() { return DownloadStatus(Kind::downloaded); }

    Kind kind() const { return kindValue; }
    bool isDownloading() const { return kindValue == Kind::downloading; }
    bool isDownloaded() const { return kindValue == Kind::downloaded; }
    // Payload of downloading: the fraction received, 0 to 1.
    float progress() const { return fraction; }
    // Payload of error.
    const QString& message() const { return text; }

    // Same case with equal payloads; the other case's payload is always empty.
    friend bool operator==(const DownloadStatus&, const DownloadStatus&) = default;

private:
    explicit DownloadStatus(Kind kind) : kindValue(kind) { }

    Kind kindValue = Kind::notDownloaded;
    float fraction = 0.0f;
    QString text;
};
