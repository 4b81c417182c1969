#include "support/PasteTarget.h"

#include "support/EventLoop.h"

#include <QCoreApplication>

QString testToolPath(const QString& name) { return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name; }

PasteTarget::~PasteTarget()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.closeWriteChannel();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

bool PasteTarget::start(const QString& program, const QStringList& arguments)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, arguments);
    if (!process_.waitForStarted(10000))
        return false;
    windowId_ = QString::fromLatin1(awaitLine("ready ").mid(6));
    return !windowId_.isEmpty();
}

QByteArray PasteTarget::ask(const QByteArray& command, const QByteArray& answerPrefix)
{
    process_.write(command + '\n');
    return awaitLine(answerPrefix);
}

bool PasteTarget::activate() const
{
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId_})
        == 0;
}

QString PasteTarget::text() { return QString::fromUtf8(QByteArray::fromBase64(ask("text", "text ").mid(5))); }

QByteArray PasteTarget::awaitLine(const QByteArray& prefix)
{
    QByteArray found;
    pumpUntil(
        [&] {
            buffer_ += process_.readAllStandardOutput();
            qsizetype end;
            while ((end = buffer_.indexOf('\n')) >= 0) {
                const QByteArray line = buffer_.left(end);
                buffer_.remove(0, end + 1);
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
