#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace {

const QByteArray showLine = "show\n";

// A start that finds the lock held waits this long for the holder to listen:
// it takes the lock a moment before its socket is up.
constexpr int holderListensWithinMs = 5000;
constexpr int connectAttemptMs = 500;
constexpr int retryPauseMs = 50;

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
      lockPath(folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("tallowind.lock"))),
      socketPath(folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("tallowind.socket")))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::runtimeFolder()
{
    // XDG_RUNTIME_DIR; without it, a private folder of the user's in /tmp,
    // the same for every start.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::Claim SingleInstance::claim()
{
    if (lockPath.isEmpty()) {
        failure = QStringLiteral("there is no runtime folder for its lock");
        return Claim::unchecked;
    }
    lock = std::make_unique<QLockFile>(lockPath);
    // Only a dead holder makes the lock stale, never its age: a Tallowind
    // runs for days. QLockFile removes a lock whose process is gone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return listen();
    if (lock->error() != QLockFile::LockFailedError) {
        failure = QStringLiteral("the lock %1 cannot be made").arg(lockPath);
        lock.reset();
        return Claim::unchecked;
    }
    lock->getLockInfo(&holderProcess, nullptr, nullptr);
    if (askHolder())
        return Claim::alreadyRunning;
    // A lock nobody answers for may be one whose process was killed before
    // it could name itself. The kernel lock behind it tells: it is removed
    // only when no living process holds it.
    if (lock->removeStaleLockFile() && lock->tryLock(0))
        return listen();
    failure = QStringLiteral("it does not answer on %1").arg(socketPath);
    lock.reset();
    return Claim::unanswered;
}

SingleInstance::Claim SingleInstance::listen()
{
    // The socket of a killed run is in the way; the lock says it is ours.
    QLocalServer::removeServer(socketPath);
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::takeConnections);
    // Without the socket this is still the only Tallowind; a later start is
    // turned away unanswered.
    if (!server->listen(socketPath))
        failure = server->errorString();
    return Claim::first;
}

bool SingleInstance::askHolder()
{
    // No event loop runs yet: the socket's blocking calls do the waiting.
    const QDeadlineTimer deadline(holderListensWithinMs);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(connectAttemptMs))
            break;
        socket.abort();
        if (deadline.hasExpired())
            return false;
        QThread::msleep(retryPauseMs);
    }
    socket.write(showLine);
    const bool sent = socket.waitForBytesWritten(connectAttemptMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    return sent;
}

void SingleInstance::takeConnections()
{
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        read(socket);
    }
}

void SingleInstance::read(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        if (socket->readLine() == showLine)
            request();
    }
    // A peer that never ends its line is not kept.
    if (socket->bytesAvailable() > showLine.size())
        socket->abort();
}

void SingleInstance::request()
{
    if (accepting)
        emit showRequested();
    else
        pending = true;
}

void SingleInstance::acceptRequests()
{
    accepting = true;
    if (pending) {
        pending = false;
        emit showRequested();
    }
}
