#include "support/PrivateXServer.h"

#include "support/EventLoop.h"
#include "support/Patience.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

// Some process has a socket bound to `path` (a listening server).
bool bound(const QString& path)
{
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly))
        return true;
    const QByteArray wanted = path.toLocal8Bit();
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() >= 8 && fields.at(7) == wanted)
            return true;
    }
    return false;
}

} // namespace

bool PrivateXServer::start(const QStringList& arguments)
{
    stop();
    number.clear();
    process.start(QStringLiteral("Xvfb"), QStringList{QStringLiteral("-displayfd"), QStringLiteral("1")} + arguments);
    if (!process.waitForStarted(Patience::reply))
        return false;
    pid = process.processId();
    running = true;
    // -displayfd: the number comes once the server listens.
    if (!pumpUntil([&] { return process.canReadLine(); }, Patience::transfer))
        return false;
    number = process.readLine().trimmed();
    return !number.isEmpty();
}

void PrivateXServer::stop()
{
    if (!running)
        return;
    running = false;
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(Patience::reply)) {
            process.kill();
            process.waitForFinished(Patience::reply);
        }
    }
    for (const QString& path : leftovers()) {
        if (QFileInfo(path).ownerId() == geteuid())
            QFile::remove(path);
    }
}

QStringList PrivateXServer::leftovers() const
{
    if (number.isEmpty())
        return {};
    QStringList files;
    const QString socket = QStringLiteral("/tmp/.X11-unix/X") + QString::fromLatin1(number);
    if (QFileInfo::exists(socket) && !bound(socket))
        files << socket;
    // The lock holds its server's process id, padded.
    QFile lock(QStringLiteral("/tmp/.X") + QString::fromLatin1(number) + QStringLiteral("-lock"));
    if (lock.open(QIODevice::ReadOnly) && lock.readAll().trimmed().toLongLong() == pid)
        files << lock.fileName();
    return files;
}
