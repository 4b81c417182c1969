#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

// One GET whose body is kept in memory, but never more than a byte cap: the
// body is counted as it arrives and the transfer is aborted the moment it,
// or the length the server announces, passes the cap. Qt is told to hold
// only a small read buffer, so an endless body costs the cap and no more.
// Main thread only.
class CappedFetch final : public QObject {
public:
    enum class Outcome { Received, TooLarge, TimedOut, HttpError, NetworkError };
    struct Result {
        Outcome outcome = Outcome::NetworkError;
        // The whole body; only for Received.
        QByteArray body;
        // The final HTTP status, 0 when no response came.
        int httpStatus = 0;
        // The server's reason phrase for HttpError, Qt's text for NetworkError.
        QString detail;
    };
    // Called once, from the event loop, never from inside the constructor.
    using Finished = std::function<void(const Result&)>;

    CappedFetch(QNetworkAccessManager& network, const QNetworkRequest& request, qint64 capBytes, Finished finished);
    // Stops a running transfer; the callback is not called.
    ~CappedFetch() override;

private:
    void checkHeaders();
    void readBody();
    void onFinished();
    // Ends the transfer early with `result`; the reply's own end is ignored.
    void stop(Result result);
    void release();

    QPointer<QNetworkReply> reply;
    const qint64 cap;
    Finished finished;
    QByteArray body;
    bool done = false;
};
