#pragma once

#include "platform/AudioCapture.h"

#include <QByteArray>

#include <atomic>
#include <mutex>
#include <vector>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

// One recording's connection to the sound server. The server's data arrives
// on the connection's own thread and is handed to the tap there, never on
// the GUI thread. The server delivers float mono at the rate speech
// recognition works at and does any resampling itself.
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
    // Both run on the connection's thread.
    static void readAvailable(pa_stream* stream, size_t length, void* self);
    static void streamStateChanged(pa_stream* stream, void* self);

    // Empty when connected, else the reason. Called with the loop locked.
    QString connect();
    // Ends the connection's thread first, so nothing runs meanwhile.
    void release();

    QByteArray server;
    std::atomic<bool> running{false};
    pa_threaded_mainloop* mainloop = nullptr;
    pa_context* context = nullptr;
    pa_stream* recordStream = nullptr;

    std::mutex tapMutex; // held during each tap call
    Tap bufferTap;
    std::vector<float> frames; // used on the connection's thread only
};
