#include "support/VirtualMicrophone.h"

#include "support/EventLoop.h"
#include "support/Patience.h"

#include <QDir>
#include <QFile>
#include <QProcess>

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
    QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("exit")});
    return pumpUntil([] { return !serverAnswers(); }, Patience::reply);
}

bool SoundServerRestart::start()
{
    // The test session wrote the configuration its server started with.
    const QString configuration = QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(QStringLiteral("pulse.pa"));
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral("pulseaudio"),
        {"-n", "-F", configuration, "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no"});
    if (!server.waitForStarted(Patience::reply))
        return false;
    return pumpUntil([] { return serverAnswers(); }, Patience::reply);
}

} // namespace VirtualMicrophone
