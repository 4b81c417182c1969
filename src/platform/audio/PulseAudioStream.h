#pragma once

#include "platform/AudioCapture.h"

#include <QByteArray>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

struct pa_simple;

// One recording's connection to the sound server, read by a thread of its
// own, so captured data is handed to the tap there, never on the GUI thread.
// The server delivers float mono at the rate speech recognition works at and
// does any resampling itself.
class PulseAudioStream final : public AudioStream {
public:
    static constexpr double sampleRate = 16000;

    // An empty address means the session's own server.
    explicit PulseAudioStream(QByteArray serverAddress = {});
    ~PulseAudioStream() override;
    PulseAudioStream(const PulseAudioStream&) = delete;
    PulseAudioStream& operator=(const PulseAudioStream&) = delete;

    // Always valid: a missing server or source shows when the stream starts.
    AudioStreamFormat format() const override { return {sampleRate, 1}; }
    void installTap(Tap tap) override;
    void removeTap() override;
    bool start(QString* errorDescription) override;
    void stop() override;
    bool isRunning() const override { return running; }

private:
    void readUntilStopped();

    QByteArray server;
    std::atomic<bool> running{false};
    std::atomic<bool> reading{false};
    pa_simple* connection = nullptr;
    std::thread reader;

    std::mutex tapMutex; // held during each tap call
    Tap bufferTap;
    std::vector<float> frames; // used by the reader only
};
