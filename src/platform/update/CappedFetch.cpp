#include "platform/update/CappedFetch.h"

#include "base/DeleteOnNextTurn.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// What Qt may hold for us between reads. Without a limit its network thread
// reads as fast as the server sends and queues it all for the main thread,
// so a cap checked there comes far too late. Feeds are small: a small
// buffer costs no speed that matters.
constexpr qint64 replyBufferBytes = 16 * 1024;

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

} // namespace

CappedFetch::CappedFetch(
    QNetworkAccessManager& network, const QNetworkRequest& request, qint64 capBytes, Finished onFinished)
    : cap(capBytes), finished(std::move(onFinished))
{
    reply = network.get(request);
    reply->setReadBufferSize(replyBufferBytes);
    connect(reply, &QNetworkReply::metaDataChanged, this, &CappedFetch::checkHeaders);
    connect(reply, &QNetworkReply::readyRead, this, &CappedFetch::readBody);
    connect(reply, &QNetworkReply::finished, this, &CappedFetch::onFinished);
}

CappedFetch::~CappedFetch()
{
    release();
}

void CappedFetch::checkHeaders()
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // A redirect that Qt follows is not the answer yet.
    if (!status.isValid() || (status.toInt() >= 300 && status.toInt() <= 399))
        return;
    if (!isSuccess(status.toInt())) {
        // Its error page is of no use to anyone.
        stop(Result{Outcome::HttpError, {}, status.toInt(),
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()});
        return;
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > cap)
        stop(Result{Outcome::TooLarge, {}, status.toInt(), {}});
}

void CappedFetch::readBody()
{
    if (done)
        return;
    // Room for the cap and the one byte past it by which we learn it has
    // been passed, taken at once: growing step by step would copy, holding
    // the old buffer and a new one of twice its size. Large untouched
    // allocations are not resident, so a small feed costs little.
    if (body.capacity() == 0)
        body.reserve(cap + 1);
    const qint64 room = cap + 1 - body.size();
    body += reply->read(std::min(room, reply->bytesAvailable()));
    if (body.size() > cap)
        stop(Result{Outcome::TooLarge, {}, reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), {}});
}

void CappedFetch::onFinished()
{
    if (done)
        return;
    readBody();
    if (done)
        return;
    Result result;
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (result.httpStatus != 0 && !isSuccess(result.httpStatus)) {
        result.outcome = Outcome::HttpError;
        result.detail = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    } else if (reply->error() == QNetworkReply::OperationCanceledError) {
        // Only the transfer timeout cancels a reply we did not stop.
        result.outcome = Outcome::TimedOut;
    } else if (reply->error() != QNetworkReply::NoError) {
        result.outcome = Outcome::NetworkError;
        result.detail = reply->errorString();
    } else {
        result.outcome = Outcome::Received;
        result.body = std::exchange(body, {});
    }
    stop(std::move(result));
}

void CappedFetch::stop(Result result)
{
    done = true;
    release();
    // Reported from the event loop, never from inside a reply's signal.
    QTimer::singleShot(0, this, [this, result = std::move(result)] {
        if (finished)
            std::exchange(finished, {})(result);
    });
}

void CappedFetch::release()
{
    body = QByteArray();
    if (!reply)
        return;
    reply->disconnect(this);
    // Deleted, not aborted: Qt may have queued an error of its own for the
    // reply already, and it complains of a second; the deletion closes the
    // connection and drops what the reply still has queued.
    deleteOnNextTurn(reply);
    reply = nullptr;
}
