#pragma once

#include "core/config/TallowindError.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

// One GET of a model file into a part-file, on the main thread. The part-file
// is created once a 2xx status has arrived; the body is read in chunks as it
// arrives and written straight to disk. It is kept only when every write
// succeeded, the byte count matches an announced length and the body starts
// like a model file. Otherwise it is removed and the callback gets the reason.
class ModelFileTransfer final : public QObject {
public:
    static constexpr std::chrono::milliseconds defaultStallTimeout{60000};

    // After each chunk written: bytes on disk, announced length or -1.
    using Received = std::function<void(qint64 bytesWritten, qint64 totalBytes)>;
    // Once, never from inside start(): nothing on success (the part-file is
    // complete), else the error (the part-file is gone).
    using Finished = std::function<void(std::optional<TallowindError> error)>;

    ModelFileTransfer(QNetworkAccessManager& network, QUrl url, QString partFile, Received received, Finished finished,
        std::chrono::milliseconds stallTimeout = defaultStallTimeout);
    // Stops a running transfer and removes its part-file; no callback follows.
    ~ModelFileTransfer() override;

    // Bounds the whole transfer, beside the stall limit; set before start().
    void setTimeLimit(std::chrono::milliseconds limit) { timeLimit = limit; }
    void start();
    // Silent stop: the connection is closed, the part-file removed, and
    // neither callback is called again.
    void abort();

    const QString& partFile() const { return partFilePath; }
    qint64 bytesWritten() const { return written; }
    qint64 totalBytes() const { return total; }
    // The final HTTP status, 0 before the response.
    int statusCode() const { return status; }
    const QUrl& address() const { return url; }

private:
    void readAvailable();
    // Once the status is known to be good; false (and failed) when the
    // part-file cannot be created.
    bool openPartFile();
    void onReplyFinished();
    void fail(const TallowindError& error);
    void succeed();
    void closeReply();
    std::optional<TallowindError> responseError() const;
    TallowindError cannotCreatePartFile() const;

    QNetworkAccessManager& network;
    QUrl url;
    QString partFilePath;
    Received received;
    Finished finished;
    std::chrono::milliseconds stallTimeout;
    // Zero: no bound.
    std::chrono::milliseconds timeLimit{0};
    QTimer deadline;

    QPointer<QNetworkReply> reply;
    QFile file;
    std::vector<char> chunk;
    // The body's first bytes.
    QByteArray head;
    QString contentType;
    qint64 written = 0;
    qint64 total = -1;
    int status = 0;
    bool done = false;
};
