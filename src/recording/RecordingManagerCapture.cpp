// The recording manager's own capture path: microphone permission, a capture
// stream of its own converted to 16 kHz mono, a placeholder result on stop,
// and a simulated level. The dictation path records through the controller
// instead; only the recording indicator's buttons reach this path.
#include "recording/RecordingManager.h"

#include "base/Dispatch.h"
#include "base/NotificationCenter.h"
#include "core/audio/AudioConverter.h"
#include "core/speech/ModelManager.h"
#include "platform/AudioCapture.h"
#include "platform/MicrophonePermission.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr double whisperSampleRate = 16000.0;
constexpr double missingInputRate = 48000.0;
constexpr int levelSimulationPeriodMs = 50;

DomainError microphoneDeniedError()
{
    return {QStringLiteral("Tallowind"), 1, QStringLiteral("Microphone access denied")};
}

TallowindError noActiveRecording()
{
    return TallowindError::recordingFailed(QStringLiteral("No active recording"));
}

// A uniform random float in [low, high].
float uniform(float low, float high)
{
    return low + (high - low) * static_cast<float>(QRandomGenerator::global()->generateDouble());
}

} // namespace

// State of the capture path. The converter and the samples are shared with
// the capture thread and guarded by `audioMutex`.
struct RecordingManager::OwnCapture {
    std::shared_ptr<AudioCapture> capture;
    std::shared_ptr<MicrophonePermission> permission = std::make_shared<AlwaysAuthorizedMicrophone>();

    // The stream is both the engine and its input node here.
    std::shared_ptr<AudioStream> audioEngine;
    double hardwareSampleRate = missingInputRate;

    mutable std::mutex audioMutex;
    std::unique_ptr<AudioConverter> audioConverter;
    std::vector<float> audioData;

    QPointer<QTimer> audioLevelTimer;
};

RecordingManager::OwnCapture& RecordingManager::ownCapture()
{
    if (!ownedCapture)
        ownedCapture = std::make_shared<OwnCapture>();
    return *ownedCapture;
}

void RecordingManager::setCaptureServices(
    std::shared_ptr<AudioCapture> capture, std::shared_ptr<MicrophonePermission> permission)
{
    OwnCapture& own = ownCapture();
    own.capture = std::move(capture);
    if (permission)
        own.permission = std::move(permission);
}

void RecordingManager::startRecording(CaptureCompletion completion)
{
    requestMicrophonePermission([this, completion = std::move(completion)](bool granted) {
        auto finish = [&](const std::optional<CaptureError>& error) {
            if (completion)
                completion(error);
        };
        if (!granted)
            return finish(microphoneDeniedError());
        if (auto error = initializeAudioEngine())
            return finish(error);
        if (auto error = startAudioEngine())
            return finish(error);
        setIsRecording(true);
        setCurrentTranscription(QString());
        finish(std::nullopt);
    });
}

void RecordingManager::requestMicrophonePermission(std::function<void(bool)> completion)
{
    MicrophonePermission& permission = *ownCapture().permission;
    switch (permission.status()) {
    case MicrophoneAuthorization::Authorized:
        completion(true);
        return;
    case MicrophoneAuthorization::NotDetermined:
        // The answer may come on any thread; the start goes on on the main one.
        permission.requestAccess([completion = std::move(completion)](bool granted) {
            Dispatch::main().async([completion, granted] { completion(granted); });
        });
        return;
    case MicrophoneAuthorization::Denied:
    case MicrophoneAuthorization::Restricted:
        break;
    }
    completion(false);
}

std::optional<RecordingManager::CaptureError> RecordingManager::initializeAudioEngine()
{
    stopAudioEngine();
    OwnCapture& own = ownCapture();
    own.audioEngine = own.capture ? own.capture->makeStream() : nullptr;
    if (!own.audioEngine)
        return TallowindError::audioEngineSetupFailed(QStringLiteral("Failed to create audio engine"));
    const AudioStreamFormat format = own.audioEngine->format();
    own.hardwareSampleRate = format.isValid() ? format.sampleRate : missingInputRate;
    if (!format.isValid())
        return TallowindError::audioEngineSetupFailed(QStringLiteral("Failed to get input format"));
    // The 16 kHz mono float target always exists here; a format the
    // converter cannot take leaves it unset and buffers are dropped.
    std::lock_guard lock(own.audioMutex);
    own.audioConverter = AudioConverter::make(format.sampleRate, format.channelCount, whisperSampleRate);
    own.audioData.clear();
    return std::nullopt;
}

std::optional<RecordingManager::CaptureError> RecordingManager::startAudioEngine()
{
    OwnCapture& own = ownCapture();
    if (!own.audioEngine)
        return TallowindError::audioEngineSetupFailed(QStringLiteral("Audio engine not initialized"));
    own.audioEngine->installTap([weak = std::weak_ptr<OwnCapture>(ownedCapture), this](const AudioBuffer& buffer) {
        if (weak.lock())
            processAudioBuffer(buffer);
    });
    QString reason;
    // A refused start stays set up until the next set-up tears it down.
    if (!own.audioEngine->start(&reason))
        return DomainError{QStringLiteral("AudioCapture"), 0, reason};
    return std::nullopt;
}

void RecordingManager::stopAudioEngine()
{
    OwnCapture& own = ownCapture();
    if (own.audioEngine) {
        own.audioEngine->stop();
        // No tap call runs once this returns.
        own.audioEngine->removeTap();
    }
    own.audioEngine.reset();
    std::lock_guard lock(own.audioMutex);
    own.audioConverter.reset();
}

void RecordingManager::processAudioBuffer(const AudioBuffer& buffer)
{
    OwnCapture& own = *ownedCapture;
    if (!buffer.frames || buffer.frameCount <= 0)
        return;
    std::vector<float> samples;
    {
        std::lock_guard lock(own.audioMutex);
        if (!own.audioConverter)
            return;
        if (!own.audioConverter->convert(buffer.frames, buffer.frameCount, samples, nullptr))
            return;
        own.audioData.insert(own.audioData.end(), samples.begin(), samples.end());
    }
    // A buffer that converts to nothing has no level to show.
    if (samples.empty())
        return;
    float sumOfSquares = 0.0f;
    for (float s : samples)
        sumOfSquares += s * s;
    const float level = std::sqrt(sumOfSquares / static_cast<float>(samples.size()));
    setAudioLevel(std::min(level * 10.0f, 1.0f));
}

void RecordingManager::stopRecording(StopCompletion completion)
{
    auto finish = [&](const QString& text, const std::optional<CaptureError>& error) {
        if (completion)
            completion(text, error);
    };
    if (!isRecording())
        return finish(QString(), noActiveRecording());
    setIsRecording(false);
    stopAudioEngine();
    size_t sampleCount = 0;
    {
        OwnCapture& own = ownCapture();
        std::lock_guard lock(own.audioMutex);
        sampleCount = own.audioData.size();
    }
    if (sampleCount == 0)
        return finish(QString(), TallowindError::emptyTranscriptionResult());
    const QString text = QStringLiteral("Transcribed audio: %1 samples recorded").arg(sampleCount);
    setCurrentTranscription(text);
    finish(text, std::nullopt);
}

void RecordingManager::cancelRecording(CaptureCompletion completion)
{
    if (!isRecording()) {
        if (completion)
            completion(noActiveRecording());
        return;
    }
    setIsRecording(false);
    setCurrentTranscription(QString());
    stopAudioEngine();
    NotificationCenter::shared().post(NotificationName::recordingCancelled);
    if (completion)
        completion(std::nullopt);
}

void RecordingManager::completeRecording(StopCompletion completion)
{
    stopRecording(std::move(completion));
}

std::vector<float> RecordingManager::capturedAudio() const
{
    if (!ownedCapture)
        return {};
    std::lock_guard lock(ownedCapture->audioMutex);
    return ownedCapture->audioData;
}

void RecordingManager::startAudioLevelSimulation()
{
    OwnCapture& own = ownCapture();
    if (own.audioLevelTimer)
        delete own.audioLevelTimer.data();
    auto* timer = new QTimer;
    timer->setInterval(levelSimulationPeriodMs);
    QObject::connect(timer, &QTimer::timeout, timer, [this] {
        const float base = uniform(0.1f, 0.3f);
        const float spike = uniform(0.0f, 1.0f) > 0.9f ? uniform(0.5f, 0.8f) : 0.0f;
        setAudioLevel(std::min(base + spike, 1.0f));
    });
    timer->start();
    own.audioLevelTimer = timer;
}

void RecordingManager::stopAudioLevelSimulation()
{
    OwnCapture& own = ownCapture();
    if (own.audioLevelTimer)
        delete own.audioLevelTimer.data();
    own.audioLevelTimer = nullptr;
    setAudioLevel(0.0f);
}

QTimer* RecordingManager::audioLevelTimer() const
{
    return ownedCapture ? ownedCapture->audioLevelTimer.data() : nullptr;
}
