#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// The format a capture stream delivers: interleaved 32-bit float frames.
// A rate of zero means there is no input device to record from.
struct AudioStreamFormat {
    double sampleRate = 0;
    int channelCount = 0;
    bool isValid() const { return sampleRate > 0 && channelCount > 0; }
};

// One captured buffer, valid only during the tap call that receives it.
struct AudioBuffer {
    const float* frames = nullptr; // frameCount * channelCount interleaved samples
    int64_t frameCount = 0;
    double sampleRate = 0;
    int channelCount = 0;
};

// One recording's microphone stream. The tap runs on the stream's own capture
// thread; it must not block and must never wait for the main thread.
class AudioStream {
public:
    using Tap = std::function<void(const AudioBuffer&)>;

    virtual ~AudioStream() = default;

    virtual AudioStreamFormat format() const = 0;
    // Takes effect for buffers captured after the call.
    virtual void installTap(Tap tap) = 0;
    // When this returns no tap call is running and none will start.
    virtual void removeTap() = 0;
    // False with a readable reason when the device cannot be opened. A stream
    // without a tap starts and delivers nothing.
    virtual bool start(QString* errorDescription) = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

// Source of fresh streams on the default input device; each recording gets a
// stream of its own.
class AudioCapture {
public:
    virtual ~AudioCapture() = default;
    // Never null. A stream that knows there is no input device reports an
    // invalid format; otherwise its start() names what went wrong.
    virtual std::shared_ptr<AudioStream> makeStream() = 0;
};
