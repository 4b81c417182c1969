#include "platform/audio/QtAudioStream.h"

#include <QAudioSource>
#include <QIODevice>
#include <QMetaObject>
#include <QThread>

#include <cstring>

namespace {

constexpr int requestedBufferFrames = 1024;

QString describe(QAudio::Error error)
{
    switch (error) {
    case QAudio::NoError:
        return {};
    case QAudio::OpenError:
        return QStringLiteral("The audio input device could not be opened.");
    case QAudio::IOError:
        return QStringLiteral("The audio input device stopped delivering data.");
    case QAudio::UnderrunError:
        return QStringLiteral("The audio input ran out of data.");
    case QAudio::FatalError:
        return QStringLiteral("The audio input device is not usable.");
    }
    return QStringLiteral("Unknown audio input error.");
}

// Receives what the source pushes and forwards it to the stream.
class TapDevice final : public QIODevice {
public:
    explicit TapDevice(QtAudioStream* stream) : owningStream(stream) { }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override
    {
        owningStream->deliver(data, length);
        return length;
    }

private:
    QtAudioStream* owningStream;
};

} // namespace

// Owns the source and its sink; every member runs on the capture thread.
class CaptureWorker final : public QObject {
public:
    CaptureWorker(QtAudioStream* stream, QAudioDevice device, QAudioFormat format)
        : owningStream(stream), inputDevice(std::move(device)), streamFormat(format)
    {
    }

    QString open()
    {
        close();
        audioSource = new QAudioSource(inputDevice, streamFormat, this);
        audioSource->setBufferSize(requestedBufferFrames * streamFormat.bytesPerFrame());
        tapDevice = new TapDevice(owningStream);
        tapDevice->setParent(this);
        tapDevice->open(QIODevice::WriteOnly);
        audioSource->start(tapDevice);
        if (audioSource->error() != QAudio::NoError || audioSource->state() == QAudio::StoppedState) {
            const QString reason =
                describe(audioSource->error() == QAudio::NoError ? QAudio::OpenError : audioSource->error());
            close();
            return reason;
        }
        return {};
    }

    void close()
    {
        if (audioSource) {
            audioSource->stop();
            delete audioSource;
            audioSource = nullptr;
        }
        delete tapDevice;
        tapDevice = nullptr;
    }

private:
    QtAudioStream* owningStream;
    QAudioDevice inputDevice;
    QAudioFormat streamFormat;
    QAudioSource* audioSource = nullptr;
    TapDevice* tapDevice = nullptr;
};

QtAudioStream::QtAudioStream(const QAudioDevice& device) : inputDevice(device)
{
    if (inputDevice.isNull())
        return;
    QAudioFormat wanted = inputDevice.preferredFormat();
    wanted.setSampleFormat(QAudioFormat::Float);
    wanted.setChannelCount(1);
    captureFormat = inputDevice.isFormatSupported(wanted) ? wanted : inputDevice.preferredFormat();
    if (!captureFormat.isValid())
        return;
    streamFormat.sampleRate = captureFormat.sampleRate();
    streamFormat.channelCount = captureFormat.channelCount();
}

QtAudioStream::~QtAudioStream()
{
    stop();
    if (thread) {
        thread->quit();
        thread->wait();
        delete worker;
    }
}

void QtAudioStream::installTap(Tap tap)
{
    std::lock_guard lock(tapMutex);
    bufferTap = std::move(tap);
}

void QtAudioStream::removeTap()
{
    std::lock_guard lock(tapMutex);
    bufferTap = nullptr;
}

bool QtAudioStream::start(QString* errorDescription)
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
    if (!streamFormat.isValid()) {
        if (errorDescription)
            *errorDescription = QStringLiteral("No audio input device is available.");
        return false;
    }
    if (!thread) {
        thread = std::make_unique<QThread>();
        thread->setObjectName(QStringLiteral("audio-capture"));
        worker = new CaptureWorker(this, inputDevice, captureFormat);
        worker->moveToThread(thread.get());
        thread->start();
    }
    QString reason;
    QMetaObject::invokeMethod(
        worker, [&] { reason = worker->open(); }, Qt::BlockingQueuedConnection);
    if (!reason.isEmpty()) {
        if (errorDescription)
            *errorDescription = reason;
        return false;
    }
    running = true;
    return true;
}

void QtAudioStream::stop()
{
    if (!running)
        return;
    if (worker)
        QMetaObject::invokeMethod(
            worker, [this] { worker->close(); }, Qt::BlockingQueuedConnection);
    running = false;
    std::lock_guard lock(tapMutex);
    partialFrame.clear();
}

void QtAudioStream::deliver(const char* data, qint64 length)
{
    std::lock_guard lock(tapMutex);
    if (!bufferTap || length <= 0)
        return;
    const int bytesPerFrame = captureFormat.bytesPerFrame();
    const int bytesPerSample = captureFormat.bytesPerSample();
    if (bytesPerFrame <= 0)
        return;
    // The source may split a frame across two writes; only then is a copy
    // needed to join the pieces.
    const char* bytes = data;
    qint64 available = length;
    if (!partialFrame.isEmpty()) {
        partialFrame.append(data, length);
        bytes = partialFrame.constData();
        available = partialFrame.size();
    }
    const qint64 frameCount = available / bytesPerFrame;
    const qint64 used = frameCount * bytesPerFrame;
    const qint64 sampleCount = frameCount * captureFormat.channelCount();
    frames.resize(static_cast<size_t>(sampleCount));
    if (captureFormat.sampleFormat() == QAudioFormat::Float) {
        std::memcpy(frames.data(), bytes, static_cast<size_t>(used));
    } else {
        for (qint64 i = 0; i < sampleCount; ++i)
            frames[static_cast<size_t>(i)] = captureFormat.normalizedSampleValue(bytes + i * bytesPerSample);
    }
    QByteArray rest(bytes + used, available - used);
    partialFrame = std::move(rest);
    if (frameCount == 0)
        return;
    AudioBuffer buffer;
    buffer.frames = frames.data();
    buffer.frameCount = frameCount;
    buffer.sampleRate = streamFormat.sampleRate;
    buffer.channelCount = streamFormat.channelCount;
    bufferTap(buffer);
}
