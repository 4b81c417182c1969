#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <limits>
#include <tuple>
#include <utility>

namespace {

// A request is one line: "show", then optionally the start's server time
// and the launcher's startup id, separated by single spaces. The answer is
// a line with the holder's process id and, after a space, its X display;
// holders of earlier versions give the process id alone.
const QByteArray showWord = "show";
constexpr qsizetype longestLine = 1024;

// A start that finds the lock held waits this long for the holder to listen:
// it takes the lock a moment before its socket is up.
constexpr int holderListensWithinMs = 5000;
constexpr int connectAttemptMs = 500;
constexpr int retryPauseMs = 50;

// Printable and on one line, so that it survives the request line; the
// launcher's id is read by other programs as one too.
bool isPlainText(const QByteArray& text)
{
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != 0x7f; });
}

QByteArray requestLine(const ActivationToken& token)
{
    QByteArray line = showWord;
    if (!token.isEmpty()) {
        line += ' ' + QByteArray::number(token.time);
        if (!token.startupId.isEmpty() && isPlainText(token.startupId))
            line += ' ' + token.startupId;
    }
    return line + '\n';
}

QByteArray answerLine(const QByteArray& display)
{
    QByteArray line = QByteArray::number(QCoreApplication::applicationPid());
    if (!display.isEmpty() && isPlainText(display) && line.size() + 1 + display.size() < longestLine)
        line += ' ' + display;
    return line + '\n';
}

// A display cut short by the line's limit is left out.
std::pair<qint64, QString> parseAnswer(const QByteArray& line)
{
    const bool whole = line.endsWith('\n');
    const QByteArray fields = line.trimmed();
    const qsizetype space = fields.indexOf(' ');
    const qint64 process = std::max<qint64>((space < 0 ? fields : fields.first(space)).toLongLong(), 0);
    const QByteArray display = space < 0 ? QByteArray() : fields.mid(space + 1);
    if (!whole || !isPlainText(display))
        return {process, QString()};
    return {process, QString::fromUtf8(display)};
}

// None for a line that is no request. A request whose token cannot be read
// still asks for the window, without a token.
std::optional<ActivationToken> parseRequest(QByteArray line)
{
    line.chop(1);
    if (line == showWord)
        return ActivationToken{};
    if (!line.startsWith(showWord + ' '))
        return std::nullopt;
    const QByteArray fields = line.mid(showWord.size() + 1);
    const qsizetype space = fields.indexOf(' ');
    bool ok = false;
    const qulonglong time = (space < 0 ? fields : fields.first(space)).toULongLong(&ok);
    if (!ok || time > std::numeric_limits<uint32_t>::max())
        return ActivationToken{};
    ActivationToken token{{}, static_cast<uint32_t>(time)};
    if (space >= 0 && isPlainText(fields.mid(space + 1)))
        token.startupId = fields.mid(space + 1);
    return token;
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, const QString& display, QObject* parent)
    : QObject(parent),
      lockPath(folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("tallowind.lock"))),
      socketPath(folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("tallowind.socket"))),
      ownDisplay(display.toUtf8())
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::runtimeFolder()
{
    // XDG_RUNTIME_DIR; without it, a private folder of the user's in /tmp,
    // the same for every start.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::Claim SingleInstance::claim(const TokenSource& source)
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
    // The process that answers names itself: the lock may have changed hands
    // since it failed us, when another start took over a stale one.
    if (const std::optional<Answer> answered = askHolder(source ? source() : ActivationToken{})) {
        holderProcess = answered->process;
        holderDisplayName = answered->display;
        return Claim::alreadyRunning;
    }
    // A lock nobody answers for may be one whose process was killed before
    // it could name itself, or one given up by a holder that has quit since.
    // The kernel lock behind it tells: it is removed only when no living
    // process holds it.
    lock->removeStaleLockFile();
    if (lock->tryLock(0))
        return listen();
    lock->getLockInfo(&holderProcess, nullptr, nullptr);
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

std::optional<SingleInstance::Answer> SingleInstance::askHolder(const ActivationToken& token)
{
    // No event loop runs yet: the socket's blocking calls do the waiting.
    const QDeadlineTimer deadline(holderListensWithinMs);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(connectAttemptMs))
            break;
        socket.abort();
        // A holder that gave its lock up has quit: nobody will listen.
        if (deadline.hasExpired() || !QFile::exists(lockPath))
            return std::nullopt;
        QThread::msleep(retryPauseMs);
    }
    socket.write(requestLine(token));
    if (!socket.waitForBytesWritten(connectAttemptMs) && socket.bytesToWrite() > 0)
        return std::nullopt;
    // The holder answers once its event loop runs, which may be a while
    // after it started listening.
    const QDeadlineTimer answered(holderListensWithinMs);
    while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState && !answered.hasExpired())
        socket.waitForReadyRead(static_cast<int>(answered.remainingTime()));
    // Closed unanswered: the holder has quit meanwhile.
    if (!socket.canReadLine() && socket.state() != QLocalSocket::ConnectedState)
        return std::nullopt;
    Answer answer;
    if (socket.canReadLine())
        std::tie(answer.process, answer.display) = parseAnswer(socket.readLine(longestLine + 1));
    socket.disconnectFromServer();
    return answer;
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
        const QByteArray line = socket->readLine(longestLine + 1);
        // A peer that never ends its line is not kept.
        if (!line.endsWith('\n')) {
            socket->abort();
            return;
        }
        if (const std::optional<ActivationToken> token = parseRequest(line)) {
            socket->write(answerLine(ownDisplay));
            request(*token);
        }
    }
    if (socket->bytesAvailable() > longestLine)
        socket->abort();
}

void SingleInstance::request(const ActivationToken& token)
{
    if (accepting)
        emit showRequested(token);
    else
        pending = token;
}

void SingleInstance::giveUp()
{
    accepting = false;
    pending.reset();
    // The lock first: a start that finds the socket closed takes it.
    lock.reset();
    // Closes the connections with it, unanswered.
    delete server;
    server = nullptr;
}

void SingleInstance::acceptRequests()
{
    accepting = true;
    if (const std::optional<ActivationToken> token = std::exchange(pending, std::nullopt))
        emit showRequested(*token);
}
