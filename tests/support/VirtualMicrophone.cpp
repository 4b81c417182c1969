#include "support/VirtualMicrophone.h"

#include "support/EventLoop.h"
#include "support/Patience.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <csignal>

namespace VirtualMicrophone {

bool writeSpeech(const QString& wav, const QString& words, double leadSeconds, double tailSeconds)
{
    const QString spoken = wav + QStringLiteral(".spoken.wav");
    const bool written = QProcess::execute(QStringLiteral("espeak-ng"), {"-s", "150", "-w", spoken, words}) == 0
        && QProcess::execute(
               QStringLiteral("sox"), {spoken, wav, "pad", QString::number(leadSeconds), QString::number(tailSeconds)})
            == 0;
    QFile::remove(spoken);
    return written;
}

bool play(const QString& wav)
{
    QProcess player;
    player.start(QStringLiteral("paplay"), {wav});
    if (!player.waitForStarted(Patience::reply))
        return false;
    // paplay ends once the server has drained its stream.
    if (!pumpUntil([&] { return player.state() == QProcess::NotRunning; }, Patience::transfer))
        return false;
    // The capture reads the source in blocks: its last one arrives a little
    // after the sink played it.
    pumpFor(300);
    return player.exitStatus() == QProcess::NormalExit && player.exitCode() == 0;
}

namespace {

QString sessionFile(const QString& name)
{
    return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(name);
}

bool serverAnswers()
{
    QProcess client;
    client.setStandardOutputFile(QProcess::nullDevice());
    client.setStandardErrorFile(QProcess::nullDevice());
    client.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return client.waitForFinished(Patience::reply) && client.exitStatus() == QProcess::NormalExit
        && client.exitCode() == 0;
}

} // namespace

SoundServerRestart::~SoundServerRestart()
{
    if (server.state() == QProcess::NotRunning)
        return;
    server.terminate();
    if (!server.waitForFinished(Patience::reply))
        server.kill();
}

bool SoundServerRestart::stop()
{
    // The session records the process id of its PulseAudio-protocol server,
    // whichever server it runs (PipeWire's refuses a client's "exit").
    QFile record(sessionFile(QStringLiteral("sound-server.pid")));
    if (!record.open(QIODevice::ReadOnly))
        return false;
    const qint64 pid = record.readAll().trimmed().toLongLong();
    if (server.state() != QProcess::NotRunning)
        server.terminate();
    else if (pid <= 0 || ::kill(static_cast<pid_t>(pid), SIGTERM) != 0)
        return false;
    return pumpUntil([] { return !serverAnswers(); }, Patience::reply);
}

bool SoundServerRestart::start()
{
    // The session's script starts its server as it did: same configuration,
    // same address.
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(sessionFile(QStringLiteral("sound-server")), {});
    if (!server.waitForStarted(Patience::reply))
        return false;
    return pumpUntil([] { return serverAnswers(); }, Patience::reply);
}

} // namespace VirtualMicrophone
