#include "support/PasteTarget.h"

#include "support/EventLoop.h"
#include "support/Patience.h"

#include <QCoreApplication>

#include <csignal>
#include <utility>

QString testToolPath(const QString& name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

bool activateWindow(const QString& windowId)
{
    return !windowId.isEmpty()
        && QProcess::execute(
               QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), windowId})
        == 0;
}

PasteTiming patientPasteTiming()
{
    PasteTiming timing;
    timing.stepTimeout = timing.copyBudget = timing.fetchFallback = Patience::reply / 1000.0;
    return timing;
}

void stopProcess(QProcess& process, int graceMs)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.closeWriteChannel();
    process.terminate();
    if (!process.waitForFinished(graceMs)) {
        process.kill();
        process.waitForFinished(graceMs);
    }
}

PasteTarget::~PasteTarget()
{
    resume();
    stopProcess(process, 3000);
}

bool PasteTarget::pause()
{
    paused = paused || ::kill(static_cast<pid_t>(process.processId()), SIGSTOP) == 0;
    return paused;
}

void PasteTarget::resume()
{
    if (std::exchange(paused, false))
        ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
}

bool PasteTarget::start(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return false;
    shownWindowId = QString::fromLatin1(awaitLine("ready ").mid(6));
    return !shownWindowId.isEmpty();
}

QByteArray PasteTarget::ask(const QByteArray& command, const QByteArray& answerPrefix)
{
    process.write(command + '\n');
    return awaitLine(answerPrefix);
}

bool PasteTarget::activate() const
{
    return activateWindow(shownWindowId);
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
