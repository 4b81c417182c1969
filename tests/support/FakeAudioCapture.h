#pragma once

#include "platform/AudioCapture.h"

#include <atomic>
#include <mutex>
#include <vector>

// A stream the test drives: deliver() calls the tap on the calling thread (a
// test may call it from a thread of its own to play the capture thread).
class FakeAudioStream final : public AudioStream {
public:
    explicit FakeAudioStream(AudioStreamFormat format) : streamFormat(format) { }

    AudioStreamFormat format() const override { return streamFormat; }
    void installTap(Tap tap) override
    {
        std::lock_guard lock(mutex);
        bufferTap = std::move(tap);
        ++tapInstalls;
    }
    void removeTap() override
    {
        std::lock_guard lock(mutex);
        bufferTap = nullptr;
        ++tapRemovals;
    }
    bool start(QString* errorDescription) override
    {
        ++startCalls;
        if (!startError.isEmpty()) {
            if (errorDescription)
                *errorDescription = startError;
            return false;
        }
        running = true;
        return true;
    }
    void stop() override
    {
        ++stopCalls;
        running = false;
    }
    bool isRunning() const override { return running; }

    bool hasTap()
    {
        std::lock_guard lock(mutex);
        return static_cast<bool>(bufferTap);
    }

    // Hands interleaved frames to the tap, as the capture thread would.
    void deliver(const std::vector<float>& interleaved)
    {
        std::lock_guard lock(mutex);
        if (!bufferTap)
            return;
        AudioBuffer buffer;
        buffer.frames = interleaved.data();
        buffer.frameCount =
            streamFormat.channelCount > 0 ? static_cast<int64_t>(interleaved.size()) / streamFormat.channelCount : 0;
        buffer.sampleRate = streamFormat.sampleRate;
        buffer.channelCount = streamFormat.channelCount;
        bufferTap(buffer);
    }

    QString startError;
    std::atomic<int> startCalls{0};
    std::atomic<int> stopCalls{0};
    std::atomic<int> tapInstalls{0};
    std::atomic<int> tapRemovals{0};

private:
    AudioStreamFormat streamFormat;
    std::mutex mutex;
    Tap bufferTap;
    std::atomic<bool> running{false};
};

class FakeAudioCapture final : public AudioCapture {
public:
    std::shared_ptr<AudioStream> makeStream() override
    {
        auto stream = std::make_shared<FakeAudioStream>(format);
        stream->startError = nextStartError;
        streams.push_back(stream);
        return stream;
    }

    std::shared_ptr<FakeAudioStream> lastStream() const { return streams.empty() ? nullptr : streams.back(); }

    // The format of the streams made from now on; an invalid one plays "no
    // input device".
    AudioStreamFormat format{16000, 1};
    QString nextStartError;
    std::vector<std::shared_ptr<FakeAudioStream>> streams;
};
