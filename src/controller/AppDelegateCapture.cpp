// Microphone capture of the dictation path: permission, one fresh stream per
// recording, conversion to 16 kHz mono, level metering and detector frames.
#include "controller/AppDelegate.h"

#include "base/Log.h"
#include "core/audio/AudioConverter.h"
#include "core/audio/DetectorFrames.h"
#include "core/audio/VoiceActivityDetector.h"
#include "core/state/RecordingState.h"
#include "platform/AlertPresenter.h"
#include "platform/AudioCapture.h"
#include "platform/MicrophonePermission.h"
#include "platform/Workspace.h"
#include "popover/PopoverViewModel.h"
#include "recording/LiveSpeechTranscriber.h"
#include "recording/RecordingManager.h"

#include <QPointer>

#include <algorithm>
#include <cmath>
#include <span>

namespace {

constexpr int64_t levelUpdateInterval = 67;
constexpr float levelGain = 50.0f;
constexpr float levelMaximum = 1.0f;
constexpr double engineRetryDelay = 0.1;

float meanSquare(std::span<const float> samples)
{
    double sum = 0;
    for (const float sample : samples)
        sum += static_cast<double>(sample) * sample;
    return samples.empty() ? 0.0f : static_cast<float>(sum / static_cast<double>(samples.size()));
}

} // namespace

void AppDelegate::setupAudioEngine()
{
    if (platformServices.microphonePermission->status() != MicrophoneAuthorization::Authorized)
        return;
    if (audioEngine && audioEngine->isRunning())
        return;
    if (audioEngine) {
        audioEngine->removeTap();
        audioEngine.reset();
    }
    {
        std::lock_guard lock(audioMutex);
        audioConverter.reset();
    }

    audioEngine = platformServices.audioCapture->makeStream();
    const AudioStreamFormat hardwareFormat = audioEngine->format();
    hardwareSampleRate = hardwareFormat.sampleRate;

    std::shared_ptr<AudioConverter> converter =
        AudioConverter::make(hardwareFormat.sampleRate, hardwareFormat.channelCount, whisperSampleRate);
    if (!converter) {
        // Also the case without a sound server: the stream stays, untapped.
        showAudioSetupError();
        return;
    }
    {
        std::lock_guard lock(audioMutex);
        audioConverter = std::move(converter);
    }
    // The stream's removeTap() waits for a running tap call, and the
    // controller removes the tap before it goes away.
    audioEngine->installTap([this](const AudioBuffer& buffer) { handleCapturedBuffer(buffer); });
}

void AppDelegate::handleCapturedBuffer(const AudioBuffer& buffer)
{
    if (!recordingInProgress)
        return;

    std::vector<float> converted;
    {
        std::lock_guard lock(audioMutex);
        if (!audioConverter)
            return;
        if (isStreamingActive && liveSpeechTranscriber) {
            liveSpeechTranscriber->appendAudioBuffer(buffer.frames, static_cast<qsizetype>(buffer.frameCount),
                static_cast<int>(buffer.sampleRate), buffer.channelCount);
        }

        // Each buffer goes through the converter once; it keeps the resampler
        // state between buffers.
        QString conversionError;
        converted.reserve(static_cast<size_t>(std::ceil(static_cast<double>(buffer.frameCount) * whisperSampleRate
                              / std::max(1.0, buffer.sampleRate)))
            + 64);
        if (!audioConverter->convert(buffer.frames, buffer.frameCount, converted, &conversionError)) {
            QPointer<AppDelegate> weak(this);
            const QString message = QStringLiteral("Audio conversion failed: ") + conversionError;
            Dispatch::main().async([weak, message] {
                if (weak)
                    weak->handleAudioConversionError(message);
            });
            return;
        }

        const auto n = static_cast<int64_t>(converted.size());
        audioData.insert(audioData.end(), converted.begin(), converted.end());

        if (n > 0) {
            visualizationSampleCount += n;
            if (visualizationSampleCount >= levelUpdateInterval) {
                const float level = std::min(std::sqrt(meanSquare(converted)) * levelGain, levelMaximum);
                Dispatch::main().async([level] { RecordingManager::shared().setAudioLevel(level); });
                visualizationSampleCount = 0;
            }
        }

        if (voiceActivityDetector) {
            DetectorFrames::append(
                vadFrameBuffer, vadProcessedSamples, converted, [this](std::span<const float> frame, int64_t index) {
                    voiceActivityDetector->processFrame(frame, index);
                });
        }
    }
}

void AppDelegate::startRecording()
{
    finishPendingStop();
    QPointer<AppDelegate> weak(this);
    switch (platformServices.microphonePermission->status()) {
    case MicrophoneAuthorization::NotDetermined:
        platformServices.microphonePermission->requestAccess([weak](bool granted) {
            if (!granted)
                return;
            Dispatch::main().async([weak] {
                if (!weak)
                    return;
                weak->setupAudioEngine();
                if (weak)
                    weak->startRecording();
            });
        });
        return;

    case MicrophoneAuthorization::Restricted:
    case MicrophoneAuthorization::Denied:
        abandonFailedRecording();
        Dispatch::main().async([weak] {
            if (!weak)
                return;
            const Alert alert{QStringLiteral("Microphone Access Required"),
                QStringLiteral(
                    "tallowind needs microphone access to record audio. Please grant access in System Settings."),
                AlertStyle::Warning, {QStringLiteral("Open System Settings"), QStringLiteral("Cancel")}};
            if (weak->platformServices.alertPresenter->runModal(alert) == 0 && weak)
                weak->platformServices.workspace->openURL(Workspace::microphoneSettingsURL());
        });
        return;

    case MicrophoneAuthorization::Authorized:
        break;
    }

    // Load the model while the user speaks.
    ensureModelLoaded([](bool) {});

    if (!audioEngine)
        setupAudioEngine();
    if (!audioEngine) {
        Dispatch::main().asyncAfter(engineRetryDelay, [weak] {
            if (!weak)
                return;
            weak->setupAudioEngine();
            if (weak && weak->audioEngine)
                weak->startRecording();
        });
        return;
    }

    {
        std::lock_guard lock(audioMutex);
        voiceActivityDetector = std::make_shared<VoiceActivityDetector>(static_cast<float>(whisperSampleRate));
        vadProcessedSamples = 0;
        vadFrameBuffer.clear();
        visualizationSampleCount = 0;
        audioData.clear();
    }

    recordingInProgress = true;
    updateStatusIcon(true, false);

    if (!audioEngine->isRunning()) {
        QString error;
        if (!audioEngine->start(&error)) {
            Log::system(QStringLiteral("[AppDelegate] Audio recording could not start: ") + error);
            recordingInProgress = false;
            updateStatusIcon(false, false);
            abandonFailedRecording();
            // The next recording asks for a stream of its own.
            stopAudioEngine();
            Dispatch::main().async([weak, error] {
                if (weak)
                    weak->showRecordingFailure(error);
            });
            return;
        }
    }

    startLiveSpeechStreamingIfEnabled();
}

void AppDelegate::stopRecording()
{
    stopRecordingAndTranscribe();
}

void AppDelegate::cancelRecording()
{
    finishPendingStop();
    recordingInProgress = false;
    ownedRecordingStateManager->cancelRecording();
    hideFocusIndicator();
    stopLiveSpeechStreaming();
    stopAudioEngine();
    updateStatusIcon(false, false);
    std::lock_guard lock(audioMutex);
    audioData.clear();
    voiceActivityDetector.reset();
    vadFrameBuffer.clear();
}

void AppDelegate::stopAudioEngine()
{
    if (!audioEngine)
        return;
    if (audioEngine->isRunning()) {
        audioEngine->removeTap();
        audioEngine->stop();
    }
    resetAudioEngine();
}

void AppDelegate::resetAudioEngine()
{
    audioEngine.reset();
    std::lock_guard lock(audioMutex);
    audioConverter.reset();
}

void AppDelegate::handleAudioConversionError(const QString& message)
{
    Log::system(QStringLiteral("Audio conversion error: ") + message);
    finishPendingStop();
    recordingInProgress = false;
    if (audioEngine && audioEngine->isRunning()) {
        audioEngine->removeTap();
        audioEngine->stop();
    }
    updateStatusIcon(false, false);
    abandonFailedRecording();
    {
        std::lock_guard lock(audioMutex);
        audioData.clear();
    }
    resetAudioEngine();

    // Last: the alert's nested event loop may start the next recording,
    // which nothing here may touch afterwards.
    platformServices.alertPresenter->runModal(Alert{QStringLiteral("Audio Recording Error"),
        QStringLiteral("Failed to process audio: ") + message + QStringLiteral("\n\nPlease try recording again."),
        AlertStyle::Warning, {QStringLiteral("OK")}});
}

void AppDelegate::abandonFailedRecording()
{
    // The recording that failed to start or broke off is over: no indicator,
    // preview, recording state or studio button may keep showing it.
    ownedRecordingStateManager->cancelRecording();
    hideFocusIndicator();
    stopLiveSpeechStreaming();
    if (popoverViewModel)
        popoverViewModel->recordingDidFail();
}

void AppDelegate::showRecordingFailure(const QString& error)
{
    // Every failed start is logged; the user is told once while the alert
    // is up, however often the start fails meanwhile.
    if (recordingFailureShown)
        return;
    recordingFailureShown = true;
    QPointer<AppDelegate> weak(this);
    platformServices.alertPresenter->runModal(Alert{QStringLiteral("Audio Recording Failed"),
        QStringLiteral("Failed to start audio recording: ") + error + QStringLiteral("\n\nPlease try again."),
        AlertStyle::Warning, {QStringLiteral("OK")}});
    if (weak)
        recordingFailureShown = false;
}

void AppDelegate::showAudioSetupError()
{
    QPointer<AppDelegate> weak(this);
    Dispatch::main().async([weak] {
        if (!weak)
            return;
        weak->platformServices.alertPresenter->runModal(Alert{QStringLiteral("Audio Setup Failed"),
            QStringLiteral("Unable to initialize audio recording. Please restart the app and try again."),
            AlertStyle::Critical, {QStringLiteral("OK")}});
    });
}
