#pragma once

#include "base/Dispatch.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

// What the local server answers for one path.
struct HttpRoute {
    int status = 200;
    // The body; when `generatedSize` is set instead, a body of that many
    // bytes is made while sending: the whisper model magic, then a pattern.
    QByteArray body;
    qint64 generatedSize = -1;
    bool announceLength = true;
    // Announce this length instead of the real one (for short bodies).
    qint64 announcedLength = -1;
    // Close the connection after this many body bytes.
    qint64 cutAfter = -1;
    // Send nothing more, keeping the connection open, after this many bytes.
    qint64 stallAfter = -1;
    qint64 chunkSize = 64 * 1024;
    // Pause between chunks.
    int chunkDelayMs = 0;
    // Sent as Location (for 3xx).
    QByteArray location;
    // While set, the body stops after its first chunk and goes on once it
    // is cleared: a transfer held half-way for as long as a test needs.
    std::shared_ptr<std::atomic<bool>> hold;
    // While set, the request is read and nothing is sent, not even the
    // status line: a response that has not begun.
    std::shared_ptr<std::atomic<bool>> holdResponse;
};

// A small HTTP/1.1 server on 127.0.0.1 with its own thread, so neither the
// code under test nor a benchmark shares an event loop with it.
class LocalHttpServer {
public:
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // "http://127.0.0.1:<port>"
    QString baseUrl() const;
    void setRoute(const QString& path, const HttpRoute& route);
    // Requests received for a path so far.
    int requestCount(const QString& path) const;
    // Connections the server still holds open.
    int openConnections() const { return connections.load(); }
    // Body bytes handed to the sockets so far, over every path.
    qint64 bodyBytesSent() const { return bodyBytes.load(); }

    // Used by the server thread.
    HttpRoute route(const QString& path, bool* found);
    void countRequest(const QString& path);
    std::atomic<int> connections{0};
    std::atomic<qint64> bodyBytes{0};

private:
    QThread thread;
    Dispatch::Semaphore stopped;
    std::atomic<quint16> port{0};
    mutable std::mutex mutex;
    QHash<QString, HttpRoute> routes;
    QHash<QString, int> requests;
};

// The body a generated route sends, for comparing with what arrived.
QByteArray generatedBody(qint64 size);
