#pragma once

#include "core/config/TallowindError.h"
#include "downloads/ModelFileTransfer.h"

#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <variant>

class QNetworkAccessManager;

// A whole model file received into a part-file that the caller now owns and
// must move or delete.
struct DownloadedFile {
    QString path;
    int statusCode = 0;
};

// Reports the bytes received at each full mebibyte and once more at the end.
using DownloadProgressCallback = std::function<void(qint64 completedBytes, qint64 totalBytes)>;
using DownloadResult = std::variant<DownloadedFile, TallowindError>;

// Downloads `url` into a new part-file beside `destination`. The completion
// runs once, on the main thread, never from inside this call. Destroying the
// returned transfer stops it and removes the part-file.
std::unique_ptr<ModelFileTransfer> downloadToFile(QNetworkAccessManager& network, const QUrl& url,
    const QString& destination, DownloadProgressCallback progress, std::function<void(DownloadResult)> completion,
    std::chrono::milliseconds stallTimeout = ModelFileTransfer::defaultStallTimeout);
