#pragma once

#include "platform/AudioCapture.h"

#include <QAudioDevice>
#include <QAudioFormat>

#include <atomic>
#include <memory>
#include <mutex>

class QThread;
class CaptureWorker;

// A QAudioSource owned by a thread of its own, so captured data is read and
// handed to the tap on that thread, never on the GUI thread.
class QtAudioStream final : public AudioStream {
public:
    // A null device gives a stream with an invalid format.
    explicit QtAudioStream(const QAudioDevice& device);
    ~QtAudioStream() override;
    QtAudioStream(const QtAudioStream&) = delete;
    QtAudioStream& operator=(const QtAudioStream&) = delete;

    AudioStreamFormat format() const override { return streamFormat; }
    void installTap(Tap tap) override;
    void removeTap() override;
    bool start(QString* errorDescription) override;
    void stop() override;
    bool isRunning() const override { return running; }

    // Called on the capture thread with raw bytes in the capture format.
    void deliver(const char* data, qint64 length);

private:
    QAudioDevice inputDevice;
    QAudioFormat captureFormat;
    AudioStreamFormat streamFormat;
    std::atomic<bool> running{false};

    std::mutex tapMutex; // held during each tap call
    Tap bufferTap;
    QByteArray partialFrame;
    std::vector<float> frames;

    std::unique_ptr<QThread> thread;
    CaptureWorker* worker = nullptr; // lives on thread
};
