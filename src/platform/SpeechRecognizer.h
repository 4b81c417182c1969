#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The desktop's on-device speech recognizer, fed with captured audio buffers.
// It runs one recognition at a time; starting a new one while another runs
// gives the new one a `busy` error. Results and errors arrive on the
// recognizer's own worker thread, never on the caller's.
class SpeechRecognizer {
public:
    enum class AuthorizationStatus { notDetermined, denied, restricted, authorized };

    // Our own failure codes of a running recognition.
    enum class ErrorCode {
        recognitionStopped = 1, // the recognizer ended the recognition by itself
        audioSessionEnded = 2, // the audio source went away under the recognition
        busy = 3, // another recognition is running
        modelsUnavailable = 4, // the acoustic or language model could not be loaded
        decodingFailed = 5, // the decoder rejected the audio
    };

    struct Error {
        ErrorCode code;
        QString message;
    };

    struct Result {
        QString text;
        bool isFinal = false;
    };

    // One call per event: a result, or an error (never both from this layer,
    // but callers treat an error as winning).
    using ResultHandler = std::function<void(const std::optional<Result>&, const std::optional<Error>&)>;

    // One buffer-fed recognition. `append` is cheap enough for the capture
    // thread: it copies the samples and hands them to the worker.
    class Task {
    public:
        virtual ~Task() = default;
        // Interleaved float samples in the capture's own rate and layout.
        virtual void append(const float* samples, qsizetype frames, int sampleRate, int channels) = 0;
        // No more audio: the recognizer delivers its final result.
        virtual void endAudio() = 0;
        // Abandons the recognition; nothing more is delivered for it.
        virtual void cancel() = 0;
    };

    virtual ~SpeechRecognizer() = default;

    virtual AuthorizationStatus authorizationStatus() const = 0;
    // `completion` may run on any thread.
    virtual void requestAuthorization(std::function<void(AuthorizationStatus)> completion) = 0;
    virtual bool isAvailable() const = 0;
    // Called on the worker thread whenever availability flips.
    virtual void setAvailabilityHandler(std::function<void(bool available)> handler) = 0;
    // Null when no recognition could be created. Partial results are
    // reported while audio arrives, a final one after `endAudio`.
    virtual std::shared_ptr<Task> startTask(ResultHandler handler) = 0;
};
