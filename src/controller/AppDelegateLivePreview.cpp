// The controller's live preview: while a shortcut recording runs and the
// preview setting is on, the on-device recognizer hears the same audio and
// its running text is published as the current transcription. Nothing here
// touches the dictation result.
#include "controller/AppDelegate.h"

#include "core/config/AppConfig.h"
#include "recording/LivePreviewTimers.h"
#include "recording/RecordingManager.h"

#include "platform/AudioCapture.h"

namespace {

const QString listeningText = QStringLiteral("Listening...");
const QString processingText = QStringLiteral("Processing...");
const QString notAuthorizedText = QStringLiteral("Speech recognition not authorized");
const QString startFailedText = QStringLiteral("Failed to start recognition");

constexpr double engineRetryDelay = 0.05;
constexpr double failureHideDelay = 2.0;
constexpr double stopHideDelay = 0.8;
constexpr double cleanupDelay = 0.3;

void publish(const QString& text)
{
    RecordingManager::shared().setCurrentTranscription(text);
}

} // namespace

void AppDelegate::setupLiveSpeechTranscriber()
{
    liveSpeechTranscriber = std::make_shared<LiveSpeechTranscriber>(platformServices.speechRecognizer);
    liveSpeechTranscriber->setDelegate(this);
}

// The preview has no window of its own; these mark where one would appear.
void AppDelegate::createStreamingWindow() { }

void AppDelegate::cleanupStreamingUI() { }

void AppDelegate::showStreamingWindow()
{
    createStreamingWindow();
}

void AppDelegate::hideStreamingWindow()
{
    if (!isStreamingActive)
        cleanupStreamingUI();
}

void AppDelegate::startLiveSpeechStreamingIfEnabled()
{
    if (!AppConfig::enableStreamingMode())
        return;
    if (!liveSpeechTranscriber)
        return;
    if (!audioEngine)
        return;
    QPointer<AppDelegate> self(this);
    const bool engineRuns = audioEngine->isRunning();
    if (!engineRuns) {
        // Retried until the engine runs, goes away or the setting is off.
        LivePreviewTimers::schedule(engineRetryDelay, [self] {
            if (self)
                self->startLiveSpeechStreamingIfEnabled();
        });
        return;
    }
    if (liveSpeechTranscriber->isAuthorized()) {
        startLiveSpeechRecognition();
        return;
    }
    liveSpeechTranscriber->requestAuthorization([self](bool granted) {
        Dispatch::main().async([self, granted] {
            if (!self)
                return;
            if (granted) {
                self->startLiveSpeechRecognition();
                return;
            }
            self->showStreamingWindow();
            publish(notAuthorizedText);
            LivePreviewTimers::schedule(failureHideDelay, [self] {
                if (self)
                    self->hideStreamingWindow();
            });
        });
    });
}

void AppDelegate::startLiveSpeechRecognition()
{
    if (!liveSpeechTranscriber)
        return;
    if (liveSpeechTranscriber->startRecognition()) {
        showStreamingWindow();
        publish(startFailedText);
        QPointer<AppDelegate> self(this);
        LivePreviewTimers::schedule(failureHideDelay, [self] {
            if (self)
                self->hideStreamingWindow();
        });
        return;
    }
    isStreamingActive = true;
    showStreamingWindow();
    publish(listeningText);
}

void AppDelegate::stopLiveSpeechStreaming()
{
    if (!isStreamingActive)
        return;
    // From here the capture tap feeds nothing and every callback is ignored.
    isStreamingActive = false;
    if (liveSpeechTranscriber)
        liveSpeechTranscriber->finishRecognition();
    publish(processingText);
    QPointer<AppDelegate> self(this);
    LivePreviewTimers::schedule(stopHideDelay, [self] {
        if (!self)
            return;
        self->hideStreamingWindow();
        LivePreviewTimers::schedule(cleanupDelay, [self] {
            if (self)
                self->cleanupStreamingUI();
        });
    });
}

void AppDelegate::transcriberDidReceivePartialResult(LiveSpeechTranscriber&, const QString& text)
{
    Dispatch::main().async([self = QPointer<AppDelegate>(this), text] {
        if (self && self->isStreamingActive)
            publish(text.isEmpty() ? listeningText : text);
    });
}

void AppDelegate::transcriberDidReceiveFinalResult(LiveSpeechTranscriber&, const QString& text)
{
    Dispatch::main().async([self = QPointer<AppDelegate>(this), text] {
        if (self && self->isStreamingActive)
            publish(text.isEmpty() ? listeningText : text);
    });
}

void AppDelegate::transcriberDidEncounterError(LiveSpeechTranscriber&, const TranscriberError& error)
{
    // The preview stays active: a later result replaces the error text.
    Dispatch::main().async([self = QPointer<AppDelegate>(this), error] {
        if (self && self->isStreamingActive)
            publish(getUserFriendlyErrorMessage(error));
    });
}

QString AppDelegate::getUserFriendlyErrorMessage(const TranscriberError& error)
{
    if (const auto* own = std::get_if<SpeechRecognitionError>(&error)) {
        switch (*own) {
        case SpeechRecognitionError::notAuthorized:
            return QStringLiteral("Speech recognition not authorized");
        case SpeechRecognitionError::recognizerUnavailable:
            return QStringLiteral("Speech recognition unavailable");
        case SpeechRecognitionError::requestCreationFailed:
            return QStringLiteral("Unable to start speech recognition");
        case SpeechRecognitionError::audioEngineError:
            return QStringLiteral("Audio processing error");
        }
        return QStringLiteral("Speech recognition error");
    }
    using Code = SpeechRecognizer::ErrorCode;
    switch (std::get<SpeechRecognizer::Error>(error).code) {
    case Code::recognitionStopped:
        return QStringLiteral("Recognition stopped");
    case Code::audioSessionEnded:
        return QStringLiteral("Audio session ended");
    case Code::busy:
        return QStringLiteral("Speech recognition busy");
    case Code::modelsUnavailable:
        return QStringLiteral("On-device speech models not available. Enable Dictation in System Settings > Keyboard");
    case Code::decodingFailed:
        break;
    }
    return QStringLiteral("Speech recognition error");
}
