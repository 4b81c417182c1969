#include "downloads/ModelFileTransfer.h"

#include "base/DeleteOnNextTurn.h"
#include "core/speech/WhisperModelFile.h"
#include "downloads/ModelDownloadFailures.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cstring>

namespace {

constexpr qsizetype chunkSize = 1 << 20;
// What Qt may hold for us between reads; bounds memory when the disk is
// slower than the network.
constexpr qint64 replyBufferSize = 4 << 20;
// Enough of the body's start to tell a model file from a web page.
constexpr qsizetype headSize = 64;

TallowindError invalidResponse()
{
    return TallowindError::networkError(QStringLiteral("Invalid response from server"));
}

TallowindError tookTooLong(std::chrono::milliseconds limit)
{
    const auto minutes = std::chrono::duration<double, std::ratio<60>>(limit).count();
    return TallowindError::networkError(QStringLiteral("The download did not finish within %1 minutes").arg(minutes));
}

bool startsLikeAModel(const QByteArray& head)
{
    uint32_t magic = 0;
    if (head.size() >= 4)
        std::memcpy(&magic, head.constData(), sizeof magic);
    return magic == ggmlFileMagic;
}

} // namespace

ModelFileTransfer::ModelFileTransfer(QNetworkAccessManager& networkAccess, QUrl address, QString partFile,
    Received onReceived, Finished onFinished, std::chrono::milliseconds timeout)
    : network(networkAccess),
      url(std::move(address)),
      partFilePath(std::move(partFile)),
      received(std::move(onReceived)),
      finished(std::move(onFinished)),
      stallTimeout(timeout),
      file(partFilePath)
{
}

ModelFileTransfer::~ModelFileTransfer()
{
    abort();
}

void ModelFileTransfer::start()
{
    // A folder that cannot take the part-file fails before any request; the
    // file itself waits for a good status.
    const QFileInfo folder(QFileInfo(partFilePath).absolutePath());
    if (!folder.isDir() || !folder.isWritable()) {
        // Reported from the event loop, like every other outcome.
        QTimer::singleShot(0, this, [this] { fail(cannotCreatePartFile()); });
        return;
    }
    chunk.resize(chunkSize);

    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(stallTimeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // Content-Length must count the bytes we store, so no transparent
    // decompression.
    request.setRawHeader("Accept-Encoding", "identity");
    reply = network.get(request);
    reply->setReadBufferSize(replyBufferSize);
    connect(reply, &QNetworkReply::readyRead, this, &ModelFileTransfer::readAvailable);
    connect(reply, &QNetworkReply::finished, this, &ModelFileTransfer::onReplyFinished);
    if (timeLimit.count() > 0) {
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, this, [this] { fail(tookTooLong(timeLimit)); });
        deadline.start(timeLimit);
    }
}

bool ModelFileTransfer::openPartFile()
{
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return true;
    fail(cannotCreatePartFile());
    return false;
}

void ModelFileTransfer::abort()
{
    if (done)
        return;
    done = true;
    deadline.stop();
    closeReply();
    file.close();
    QFile::remove(partFilePath);
}

void ModelFileTransfer::closeReply()
{
    if (!reply)
        return;
    reply->disconnect(this);
    // No abort(): Qt's network thread may already have queued its own error
    // for this reply (it does for every 4xx), and a second one makes Qt
    // complain. Deleting the reply closes the connection and drops whatever
    // it still has queued.
    deleteOnNextTurn(reply);
    reply = nullptr;
}

TallowindError ModelFileTransfer::cannotCreatePartFile() const
{
    return TallowindError::fileOperationFailed(QStringLiteral("create temporary file"), partFilePath);
}

std::optional<TallowindError> ModelFileTransfer::responseError() const
{
    const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!code.isValid())
        return std::nullopt;
    const int value = code.toInt();
    if (value == 404 || value == 410)
        return ModelDownloadFailures::noFileAt(reply->url());
    if (value < 200 || value > 299)
        return ModelDownloadFailures::unexpectedStatus(
            value, reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    return std::nullopt;
}

void ModelFileTransfer::readAvailable()
{
    if (done || !reply)
        return;
    if (status == 0) {
        const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        // No response yet: nothing to judge, nothing to store.
        if (!code.isValid())
            return;
        status = code.toInt();
        if (auto error = responseError()) {
            // An error page never reaches the disk.
            fail(*error);
            return;
        }
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        total = length.isValid() ? length.toLongLong() : -1;
        contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
        if (!openPartFile())
            return;
    }
    bool wrote = false;
    while (reply->bytesAvailable() > 0) {
        const qint64 count = reply->read(chunk.data(), static_cast<qint64>(chunk.size()));
        if (count <= 0)
            break;
        const bool judged = head.size() >= 4;
        if (head.size() < headSize)
            head.append(chunk.data(), std::min<qint64>(count, headSize - head.size()));
        // A web page or any other wrong body stops at once, not after
        // however much the server cares to send.
        if (!judged && head.size() >= 4 && !startsLikeAModel(head)) {
            fail(ModelDownloadFailures::notAModelFile(head, contentType));
            return;
        }
        if (file.write(chunk.data(), count) != count) {
            fail(ModelDownloadFailures::writeFailed(partFilePath, written, total));
            return;
        }
        written += count;
        wrote = true;
    }
    if (wrote && received)
        received(written, total);
}

void ModelFileTransfer::onReplyFinished()
{
    if (done || !reply)
        return;
    readAvailable();
    if (done)
        return;
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
        status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (auto error = responseError()) {
            fail(*error);
            return;
        }
    }
    const QNetworkReply::NetworkError transferError = reply->error();
    if (total >= 0 && written < total
        && (transferError == QNetworkReply::NoError || transferError == QNetworkReply::RemoteHostClosedError)) {
        fail(ModelDownloadFailures::endedEarly(written, total));
        return;
    }
    switch (transferError) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::OperationCanceledError:
        // Only the transfer timeout cancels a reply we did not abort.
        fail(TallowindError::networkError(
            QStringLiteral("The server sent no data for %1 seconds").arg(stallTimeout.count() / 1000.0)));
        return;
    default:
        fail(TallowindError::networkError(reply->errorString()));
        return;
    }
    if (status == 0) {
        fail(invalidResponse());
        return;
    }
    if (total >= 0 && written > total) {
        fail(ModelDownloadFailures::longerThanAnnounced(written, total));
        return;
    }
    if (!startsLikeAModel(head)) {
        fail(ModelDownloadFailures::notAModelFile(head, contentType));
        return;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        fail(ModelDownloadFailures::writeFailed(partFilePath, written, total));
        return;
    }
    succeed();
}

void ModelFileTransfer::fail(const TallowindError& error)
{
    if (done)
        return;
    abort();
    if (finished)
        finished(error);
}

void ModelFileTransfer::succeed()
{
    done = true;
    deadline.stop();
    closeReply();
    if (finished)
        finished(std::nullopt);
}
