#pragma once

#include <QString>
#include <QtGlobal>

// One progress value of a streamed download: bytes received so far and the
// announced length (-1 when the server announced none).
struct ModelDownloadProgress {
    qint64 bytesWritten = 0;
    qint64 totalBytes = 0;

    // 0 unless a positive length was announced; above 1 when the body runs
    // longer than announced.
    double progress() const;
    // Truncated toward zero: 999 of 1000 bytes is 99.
    int progressPercentage() const;
    // Binary units (1024), as "1.5 MB".
    QString formattedBytesWritten() const;
    QString formattedTotalBytes() const;

    friend bool operator==(const ModelDownloadProgress&, const ModelDownloadProgress&) = default;
};
