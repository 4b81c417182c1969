#include "support/LocalHttpServer.h"

#include "core/speech/WhisperModelFile.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstring>

namespace {

// The generated body repeats a pattern of a prime length after the magic,
// so any misplaced chunk shows, and filling is a few memcpy calls.
constexpr qint64 patternLength = 65521;

// How often a held transfer looks whether it may go on.
constexpr int holdPollMs = 20;

const QByteArray& pattern()
{
    static const QByteArray bytes = [] {
        QByteArray table(patternLength, Qt::Uninitialized);
        for (qint64 i = 0; i < patternLength; ++i)
            table[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
        return table;
    }();
    return bytes;
}

// Fills `out` with the generated body's bytes [offset, offset + out.size()).
void fillGenerated(qint64 offset, QByteArray& out)
{
    char* data = out.data();
    qint64 filled = 0;
    while (filled < out.size()) {
        const qint64 at = offset + filled;
        const qint64 inPattern = at % patternLength;
        const qint64 count = std::min(out.size() - filled, patternLength - inPattern);
        std::memcpy(data + filled, pattern().constData() + inPattern, static_cast<size_t>(count));
        filled += count;
    }
    for (qint64 at = offset; at < 4 && at - offset < out.size(); ++at)
        data[at - offset] = static_cast<char>((ggmlFileMagic >> (8 * at)) & 0xff);
}

const char* reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

// One client connection, served on the server thread.
class Connection : public QObject {
public:
    Connection(QTcpSocket* client, LocalHttpServer& owner) : QObject(client), socket(client), server(owner)
    {
        ++server.connections;
        connect(socket, &QTcpSocket::readyRead, this, &Connection::readRequest);
        connect(socket, &QTcpSocket::bytesWritten, this, &Connection::sendMore);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
    ~Connection() override { --server.connections; }

private:
    void readRequest()
    {
        request += socket->readAll();
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0 || started)
            return;
        started = true;
        const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
        const QString path = line.size() > 1 ? QString::fromLatin1(line[1]) : QString();
        bool found = false;
        route = server.route(path, &found);
        server.countRequest(path);
        if (!found) {
            route = HttpRoute{};
            route.status = 404;
            route.body = "no such path";
        }
        bodySize = route.generatedSize >= 0 ? route.generatedSize : route.body.size();
        respond();
    }

    void respond()
    {
        if (route.holdResponse && *route.holdResponse) {
            QTimer::singleShot(holdPollMs, this, &Connection::respond);
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reasonPhrase(route.status) + "\r\n";
        head += "Content-Type: application/octet-stream\r\n";
        if (route.announceLength)
            head += "Content-Length: "
                + QByteArray::number(route.announcedLength >= 0 ? route.announcedLength : bodySize) + "\r\n";
        if (!route.location.isEmpty())
            head += "Location: " + route.location + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head);
        responding = true;
        sendMore();
    }

    void sendMore()
    {
        if (!responding || finished || waiting)
            return;
        // Keep a few chunks queued, no more: memory stays flat for any size.
        while (socket->bytesToWrite() < 4 * route.chunkSize) {
            qint64 limit = bodySize;
            if (route.cutAfter >= 0)
                limit = std::min(limit, route.cutAfter);
            if (route.stallAfter >= 0 && sent >= route.stallAfter) {
                finished = true; // hold the connection open, send nothing
                return;
            }
            if (route.stallAfter >= 0)
                limit = std::min(limit, route.stallAfter);
            if (sent >= limit) {
                finished = true;
                socket->disconnectFromHost();
                return;
            }
            if (route.hold && *route.hold && sent > 0) {
                waiting = true;
                QTimer::singleShot(holdPollMs, this, [this] {
                    waiting = false;
                    sendMore();
                });
                return;
            }
            const qint64 count = std::min(route.chunkSize, limit - sent);
            if (route.generatedSize >= 0) {
                chunk.resize(count);
                fillGenerated(sent, chunk);
                socket->write(chunk);
            } else {
                socket->write(route.body.constData() + sent, count);
            }
            sent += count;
            server.bodyBytes += count;
            if (route.chunkDelayMs > 0) {
                waiting = true;
                QTimer::singleShot(route.chunkDelayMs, this, [this] {
                    waiting = false;
                    sendMore();
                });
                return;
            }
        }
    }

    QTcpSocket* socket;
    LocalHttpServer& server;
    QByteArray request;
    QByteArray chunk;
    HttpRoute route;
    qint64 bodySize = 0;
    qint64 sent = 0;
    bool started = false;
    bool responding = false;
    bool finished = false;
    bool waiting = false;
};

} // namespace

QByteArray generatedBody(qint64 size)
{
    QByteArray body(size, Qt::Uninitialized);
    fillGenerated(0, body);
    return body;
}

LocalHttpServer::LocalHttpServer()
{
    std::atomic<bool> ready{false};
    QObject::connect(&thread, &QThread::started, [this, &ready] {
        auto* listener = new QTcpServer();
        // Emitted on this thread as it stops: the sockets go with the server.
        QObject::connect(&thread, &QThread::finished, [this, listener] {
            delete listener;
            stopped.signal();
        });
        QObject::connect(listener, &QTcpServer::newConnection, listener, [this, listener] {
            while (QTcpSocket* client = listener->nextPendingConnection())
                new Connection(client, *this);
        });
        if (listener->listen(QHostAddress::LocalHost, 0))
            port = listener->serverPort();
        ready = true;
    });
    thread.start();
    while (!ready)
        QThread::msleep(1);
}

LocalHttpServer::~LocalHttpServer()
{
    thread.quit();
    // QThread::wait() is invisible to ThreadSanitizer; the semaphore orders
    // everything the thread did before our members go.
    stopped.wait();
    thread.wait();
}

QString LocalHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port.load());
}

void LocalHttpServer::setRoute(const QString& path, const HttpRoute& newRoute)
{
    std::lock_guard lock(mutex);
    routes.insert(path, newRoute);
}

HttpRoute LocalHttpServer::route(const QString& path, bool* found)
{
    std::lock_guard lock(mutex);
    *found = routes.contains(path);
    return routes.value(path);
}

void LocalHttpServer::countRequest(const QString& path)
{
    std::lock_guard lock(mutex);
    ++requests[path];
}

int LocalHttpServer::requestCount(const QString& path) const
{
    std::lock_guard lock(mutex);
    return requests.value(path);
}
