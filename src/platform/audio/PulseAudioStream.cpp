#include "platform/audio/PulseAudioStream.h"

#include "base/Log.h"

#include <pulse/error.h>
#include <pulse/simple.h>

namespace {

// Small reads keep stop() short: it waits for the read under way.
constexpr pa_usec_t readInterval = 20000;

pa_sample_spec sampleSpec()
{
    return {PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(PulseAudioStream::sampleRate), 1};
}

} // namespace

PulseAudioStream::PulseAudioStream(QByteArray serverAddress) : server(std::move(serverAddress)) { }

PulseAudioStream::~PulseAudioStream()
{
    stop();
}

void PulseAudioStream::installTap(Tap tap)
{
    std::lock_guard lock(tapMutex);
    bufferTap = std::move(tap);
}

void PulseAudioStream::removeTap()
{
    std::lock_guard lock(tapMutex);
    bufferTap = nullptr;
}

bool PulseAudioStream::start(QString* errorDescription)
{
    if (running)
        return true;
    bool hasTap = false;
    {
        std::lock_guard lock(tapMutex);
        hasTap = static_cast<bool>(bufferTap);
    }
    if (!hasTap) {
        running = true;
        return true;
    }

    const pa_sample_spec spec = sampleSpec();
    const auto fragment = static_cast<uint32_t>(pa_usec_to_bytes(readInterval, &spec));
    const pa_buffer_attr buffering{static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
        static_cast<uint32_t>(-1), fragment};
    int error = 0;
    connection = pa_simple_new(server.isEmpty() ? nullptr : server.constData(), "Tallowind", PA_STREAM_RECORD, nullptr,
        "Dictation", &spec, nullptr, &buffering, &error);
    if (!connection) {
        if (errorDescription)
            *errorDescription = QStringLiteral("The sound server could not be reached (%1).")
                                    .arg(QString::fromUtf8(pa_strerror(error)));
        return false;
    }
    frames.resize(fragment / sizeof(float));
    reading = true;
    running = true;
    reader = std::thread([this] { readUntilStopped(); });
    return true;
}

void PulseAudioStream::stop()
{
    if (!running)
        return;
    reading = false;
    if (reader.joinable())
        reader.join();
    if (connection) {
        pa_simple_free(connection);
        connection = nullptr;
    }
    running = false;
}

void PulseAudioStream::readUntilStopped()
{
    while (reading) {
        int error = 0;
        if (pa_simple_read(connection, frames.data(), frames.size() * sizeof(float), &error) < 0) {
            // What was read so far stays with the recording.
            Log::system(QStringLiteral("[PulseAudioStream] The sound server stopped delivering audio: %1")
                            .arg(QString::fromUtf8(pa_strerror(error))));
            return;
        }
        std::lock_guard lock(tapMutex);
        if (!bufferTap)
            continue;
        AudioBuffer buffer;
        buffer.frames = frames.data();
        buffer.frameCount = static_cast<int64_t>(frames.size());
        buffer.sampleRate = sampleRate;
        buffer.channelCount = 1;
        bufferTap(buffer);
    }
}
