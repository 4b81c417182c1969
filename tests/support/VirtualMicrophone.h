#pragma once

#include <QProcess>
#include <QString>

// Speech through the test session's virtual microphone: the sound server's
// default source hears what is played into its default sink.
namespace VirtualMicrophone {

// Writes `words`, spoken by espeak-ng, to `wav`, with `leadSeconds` and
// `tailSeconds` of silence around them; false when a tool failed.
bool writeSpeech(const QString& wav, const QString& words, double leadSeconds = 0, double tailSeconds = 0);

// Plays `wav` with the event loop running and returns once the sound server
// has played it all; false when it could not be played.
bool play(const QString& wav);

// Stops the session's sound server and starts it again, as the desktop's
// own restart would: same configuration, same address. A server started
// here ends with this object.
class SoundServerRestart {
public:
    SoundServerRestart() = default;
    ~SoundServerRestart();
    SoundServerRestart(const SoundServerRestart&) = delete;
    SoundServerRestart& operator=(const SoundServerRestart&) = delete;

    // True once the running server has gone and nothing answers.
    bool stop();
    // True once the new server answers.
    bool start();

private:
    QProcess server;
};

} // namespace VirtualMicrophone
