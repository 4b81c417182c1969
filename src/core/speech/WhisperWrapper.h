#pragma once

#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <span>

struct whisper_context;

// The one owner of a whisper.cpp context: loads a ggml model file, can
// switch to another file, and turns 16 kHz mono float samples into one
// cleaned line of text. Passes, switches and destruction are serialized on
// one mutex, so a bridge shared between the load queue and the
// transcription queue (as a shared_ptr) never has two users of its context.
class WhisperWrapper {
public:
    // Nothing when the file does not exist or whisper.cpp cannot load it.
    // Passes use min(processors, 8) threads; `processorCount` 0 means the
    // processors this process may run on (benchmarks pin it).
    static std::shared_ptr<WhisperWrapper> create(const QString& modelPath, int processorCount = 0);
    ~WhisperWrapper();
    WhisperWrapper(const WhisperWrapper&) = delete;
    WhisperWrapper& operator=(const WhisperWrapper&) = delete;

    // Replaces the loaded model; true when the new context was created. A
    // missing file changes nothing; a file that fails to load leaves the
    // bridge without a context.
    bool switchModel(const QString& modelPath);

    // One full pass over the samples, which must already be 16 kHz mono;
    // `sourceSampleRate` is accepted and not used. Nothing when there is no
    // context, no audio, the pass fails or no text came out.
    std::optional<QString> transcribe(std::span<const float> audioData, double sourceSampleRate = 16000);

private:
    WhisperWrapper(const QString& modelPath, int processorCount);
    // Callers hold mutex.
    bool loadModel();

    std::mutex mutex;
    whisper_context* ctx = nullptr;
    QString loadedModelPath;
    const int availableProcessors;
};
