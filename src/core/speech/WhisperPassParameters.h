#pragma once

#include <QString>
#include <QStringList>

#include <whisper.h>

#include <functional>
#include <string>

// The decoding parameter record of one whisper pass, built from the current
// settings, together with the strings it points into. The record's string
// fields point into this object, so it is neither copied nor moved; build it
// where the pass runs and hand `record()` to whisper_full by value.
class WhisperPassParameters {
public:
    // The most decoders whisper.cpp runs in one pass (best-of candidates or
    // beams); a pass asking for more fails.
    static constexpr int maxDecoders = 8;
    static constexpr float noSpeechThreshold = 0.6f;
    static constexpr float logProbThreshold = -1.0f;
    static constexpr float entropyThreshold = 2.4f;
    // Non-speech annotations and musical notes never end up in the text.
    static constexpr const char* suppressPattern =
        "\\[Music\\]|\\[Applause\\]|\\[Laughter\\]|\u266A|\u266B|\u266C|\u2669";

    // Reads the decoding settings now; `processorCount` is the number of
    // processors this process may run on.
    explicit WhisperPassParameters(const QString& modelPath, int processorCount = configuredProcessorCount());
    WhisperPassParameters(const WhisperPassParameters&) = delete;
    WhisperPassParameters& operator=(const WhisperPassParameters&) = delete;

    const whisper_full_params& record() const { return params; }

    // The processors this process may run on: what the composition root
    // set, else Qt's count of the processors the process may use.
    static int configuredProcessorCount();
    // Set once at start, before any pass.
    static void setProcessorAllowance(std::function<int()> allowance);
    static int threadCount(int processorCount);
    // English-only model files carry ".en.bin" in their name.
    static QString languageFor(const QString& modelPath);
    static QString dictionaryPrompt(const QStringList& words);

private:
    std::string language;
    std::string prompt;
    whisper_full_params params;
};
