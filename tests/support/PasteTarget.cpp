#include "support/PasteTarget.h"

#include "support/EventLoop.h"

#include <QCoreApplication>

QString testToolPath(const QString& name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

PasteTarget::~PasteTarget()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.closeWriteChannel();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

bool PasteTarget::start(const QString& program, const QStringList& arguments)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return false;
    windowId = QString::fromLatin1(awaitLine("ready ").mid(6));
    return !windowId.isEmpty();
}

QByteArray PasteTarget::ask(const QByteArray& command, const QByteArray& answerPrefix)
{
    process.write(command + '\n');
    return awaitLine(answerPrefix);
}

bool PasteTarget::activate() const
{
    return QProcess::execute(
               QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId})
        == 0;
}

QString PasteTarget::text()
{
    return QString::fromUtf8(QByteArray::fromBase64(ask("text", "text ").mid(5)));
}

QByteArray PasteTarget::awaitLine(const QByteArray& prefix)
{
    QByteArray found;
    pumpUntil(
        [&] {
            buffer += process.readAllStandardOutput();
            qsizetype end;
            while ((end = buffer.indexOf('\n')) >= 0) {
                const QByteArray line = buffer.left(end);
                buffer.remove(0, end + 1);
                if (line.startsWith(prefix)) {
                    found = line;
                    return true;
                }
            }
            return false;
        },
        15000);
    return found;
}
