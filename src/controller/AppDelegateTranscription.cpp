// Ending a recording and turning its audio into text: the tail wait, the
// detector's last frame, trimming, parking behind a model load, and the
// transcription job on a background queue.
#include "base/Log.h"
#include "controller/AppDelegate.h"
#include "core/audio/DetectorFrames.h"
#include "core/audio/SpeechTrim.h"
#include "core/audio/VoiceActivityDetector.h"
#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "core/speech/WhisperWrapper.h"
#include "core/state/RecordingState.h"
#include "platform/AudioCapture.h"
#include "recording/RecordingManager.h"

#include <QPointer>

#include <chrono>
#include <span>
#include <utility>

namespace {

constexpr double tailWait = 0.3;
constexpr double silentNoticeDuration = 1.5;

} // namespace

void AppDelegate::stopRecordingAndTranscribe()
{
    finishPendingStop();
    recordingInProgress = false; // from here on the tap drops every buffer
    ownedRecordingStateManager->stopRecording();
    hideFocusIndicator();
    stopLiveSpeechStreaming();

    // Buffers already past the recording check may still arrive meanwhile.
    // The wait is a timer on the event loop, not a sleep on it: the tray and
    // the windows stay live, and whatever touches the recording first
    // finishes it.
    const uint64_t stop = ++stopCount;
    stopPending = true;
    stoppedRecordingMode = ownedRecordingStateManager->currentState().mode;
    QPointer<AppDelegate> weak(this);
    Dispatch::main().asyncAfter(tailWait, [weak, stop] {
        if (weak && weak->stopCount == stop)
            weak->finishPendingStop();
    });
}

void AppDelegate::finishPendingStop()
{
    if (!stopPending)
        return;
    stopPending = false;
    stopAudioEngine();
    updateStatusIcon(false, false);

    {
        std::lock_guard lock(audioMutex);
        if (voiceActivityDetector) {
            DetectorFrames::flush(
                vadFrameBuffer, vadProcessedSamples, [this](std::span<const float> frame, int64_t index) {
                    voiceActivityDetector->processFrame(frame, index);
                });
            voiceActivityDetector->finalizeRecording(static_cast<int64_t>(audioData.size()));
        }
    }

    transcribeAudio();

    std::lock_guard lock(audioMutex);
    voiceActivityDetector.reset();
    vadFrameBuffer.clear();
}

void AppDelegate::transcribeAudio()
{
    // The job owns its audio: the recording buffer belongs to whichever
    // recording runs next.
    std::vector<float> recording;
    std::shared_ptr<VoiceActivityDetector> detector;
    {
        // Taken, not copied: a second stop must not send this recording again.
        std::lock_guard lock(audioMutex);
        recording = std::exchange(audioData, {});
        detector = voiceActivityDetector;
    }
    if (recording.empty())
        return;
    // The mode of the recording that stopped; it travels with the job.
    const RecordingMode mode = stoppedRecordingMode;

    SpeechTrim::Decision decision = SpeechTrim::select(recording, detector.get(),
        AppConfig::enableVoiceActivityDetection(), AppConfig::vadSegmentationMode(), whisperSampleRate);
    if (decision.silent) {
        QPointer<AppDelegate> weak(this);
        Dispatch::main().async([weak] {
            if (!weak)
                return;
            weak->showStreamingWindow();
            RecordingManager::shared().setCurrentTranscription(QStringLiteral("No audio detected"));
            Dispatch::main().asyncAfter(silentNoticeDuration, [weak] {
                if (weak)
                    weak->hideStreamingWindow();
            });
        });
        return;
    }

    std::vector<float> audio = std::move(decision.audio);
    if (audio.empty())
        return;

    Log::system(QStringLiteral("[AppDelegate] About to transcribe %1 samples").arg(audio.size()));

    if (!isLoadingModel) {
        // Under way while the load it may start runs; the job counts itself.
        ++transcriptionsUnderWay;
        updateStatusIcon(false, true);
        QPointer<AppDelegate> weak(this);
        ensureModelLoaded([weak, audio = std::move(audio), mode](bool success) mutable {
            if (weak)
                --weak->transcriptionsUnderWay;
            if (success) {
                if (weak)
                    weak->performTranscription(std::move(audio), whisperSampleRate, mode);
                return;
            }
            Log::system(QStringLiteral("[AppDelegate] Failed to ensure model loaded"));
            Dispatch::main().async([weak] {
                if (!weak)
                    return;
                weak->updateStatusIcon(false, false);
                weak->reportModelLoadFailure();
            });
        });
        return;
    }

    // Parked recordings are handed over in the order they stopped.
    Log::system(QStringLiteral("[AppDelegate] Model is loading, queueing transcription"));
    {
        std::lock_guard lock(modelMutex);
        pendingTranscriptions.push_back(PendingTranscription{std::move(audio), whisperSampleRate, mode});
    }
    updateStatusIcon(false, true);
    // The load under way hands it over when it succeeds; when it fails, the
    // recording waits for the next load that succeeds, whoever starts it.
}

void AppDelegate::processPendingTranscription(std::vector<float> audio, double sampleRate, RecordingMode mode)
{
    updateStatusIcon(false, true);
    performTranscription(std::move(audio), sampleRate, mode);
}

void AppDelegate::performTranscription(std::vector<float> audio, double sampleRate, RecordingMode mode)
{
    Log::system(QStringLiteral("[AppDelegate] performTranscription called with %1 samples").arg(audio.size()));
    // Counted here, on the main thread, and uncounted there when the job
    // ends.
    ++transcriptionsUnderWay;
    QPointer<AppDelegate> weak(this);
    // The job reaches the controller only through the guard, so a controller
    // destroyed meanwhile is never touched.
    const LifetimeGuard::Token lifetime = transcriptionLifetime.token();
    transcriptionQueue.async([this, lifetime, weak, audio = std::move(audio), sampleRate, mode] {
        std::shared_ptr<WhisperWrapper> wrapper;
        {
            const auto inside = lifetime.enter();
            if (!inside.owns_lock()) {
                Log::system(QStringLiteral("[AppDelegate] self is nil in performTranscription"));
                return;
            }
            std::lock_guard lock(modelMutex);
            wrapper = whisperWrapper;
        }
        const auto jobEnded = [weak] {
            Dispatch::main().async([weak] {
                if (!weak)
                    return;
                --weak->transcriptionsUnderWay;
                weak->updateStatusIcon(false, false);
            });
        };
        if (!wrapper) {
            Log::system(QStringLiteral("[AppDelegate] whisperWrapper is nil"));
            // The model changed after its load: wait for the next one.
            Dispatch::main().async([weak, audio, sampleRate, mode] {
                if (!weak)
                    return;
                --weak->transcriptionsUnderWay;
                weak->reparkTranscription(audio, sampleRate, mode);
                weak->updateStatusIcon(false, false);
            });
            return;
        }

        const auto start = std::chrono::steady_clock::now();
        const double audioDuration = static_cast<double>(audio.size()) / sampleRate;
        Log::system(QStringLiteral("[AppDelegate] Calling whisperWrapper.transcribe"));
        const std::optional<QString> text = wrapper->transcribe(audio, sampleRate);
        if (!text) {
            Log::system(QStringLiteral("[AppDelegate] Transcription returned nil"));
            jobEnded();
            return;
        }

        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Log::system(QStringLiteral("[AppDelegate] Transcription successful: ") + *text);
        jobEnded();
        Log::system(QString::asprintf("[Tallowind Performance] Audio duration: %.1fs, "
                                      "Transcription time: %.2fs, Ratio: %.1fx",
            audioDuration, elapsed, audioDuration / elapsed));

        if (text->isEmpty())
            return;
        // Queued before the text is announced: whoever hears the
        // announcement and waits for the archive finds the recording.
        const std::optional<WhisperModel> model = ModelManager::shared().activeModel();
        const QString modelName = model ? model->rawValue() : QStringLiteral("unknown");
        RecordingManager::shared().saveRecording(audio, sampleRate, *text, modelName);
        {
            const auto inside = lifetime.enter();
            if (inside.owns_lock())
                injectText(*text, mode);
        }
    });
}
