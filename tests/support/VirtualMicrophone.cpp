#include "support/VirtualMicrophone.h"

#include "support/EventLoop.h"
#include "support/Patience.h"

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

} // namespace VirtualMicrophone
