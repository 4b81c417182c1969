#pragma once

#include "platform/SpeechRecognizer.h"
#include "recording/SpeechRecognitionError.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class LiveSpeechTranscriber;

// Receives the transcriber's reports, always on the main thread.
class StreamingTranscriberDelegate {
public:
    virtual void transcriberDidReceivePartialResult(LiveSpeechTranscriber& transcriber, const QString& text) = 0;
    virtual void transcriberDidReceiveFinalResult(LiveSpeechTranscriber& transcriber, const QString& text) = 0;
    virtual void transcriberDidEncounterError(LiveSpeechTranscriber& transcriber, const TranscriberError& error) = 0;

protected:
    ~StreamingTranscriberDelegate() = default;
};

// The live preview's recognizer: one buffer-fed recognition at a time, with
// partial text while audio arrives, a final text at the end, and errors. Every
// recognition carries a tag, so a late report of an earlier recognition can
// never end or alter the current one.
class LiveSpeechTranscriber {
public:
    enum class RecognitionState { idle, recognizing, finishing };

    // A null recognizer makes every start fail with recognizerUnavailable.
    explicit LiveSpeechTranscriber(std::shared_ptr<SpeechRecognizer> recognizer);
    ~LiveSpeechTranscriber();
    LiveSpeechTranscriber(const LiveSpeechTranscriber&) = delete;
    LiveSpeechTranscriber& operator=(const LiveSpeechTranscriber&) = delete;

    // Not retained. A QObject delegate is watched and skipped once destroyed;
    // any other must outlive the transcriber.
    void setDelegate(StreamingTranscriberDelegate* delegate);
    StreamingTranscriberDelegate* delegate() const;

    // `completion` runs on the main queue, true only when authorized.
    void requestAuthorization(std::function<void(bool granted)> completion);
    bool isAuthorized() const;
    bool isAvailable() const;

    // Main thread. Ends a recognition still running, then starts a new one;
    // the error says why none was started.
    [[nodiscard]] std::optional<SpeechRecognitionError> startRecognition();
    // Capture thread: hands one captured buffer (interleaved floats in the
    // capture's own format) to the running recognition; dropped otherwise.
    void appendAudioBuffer(const float* samples, qsizetype frames, int sampleRate, int channels);
    // Abandons the current recognition at once.
    void stopRecognition();
    // Main thread: ends the audio and tidies up without awaiting the final
    // result.
    void finishRecognition();

    RecognitionState recognitionState() const;
    static QString stateName(RecognitionState state);

    struct Core;

private:
    std::shared_ptr<Core> sharedCore;
};
