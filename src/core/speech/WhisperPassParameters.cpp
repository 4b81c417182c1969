#include "core/speech/WhisperPassParameters.h"

#include "base/Log.h"
#include "core/config/AppConfig.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <climits>

namespace {

std::function<int()>& processorAllowance()
{
    static std::function<int()> allowance;
    return allowance;
}

// Logs an out-of-range setting the first time a pass meets that value, not
// on every pass.
int clampedDecoderCount(const char* setting, int value, int lowest, std::atomic<int>& lastLogged)
{
    const int clamped = std::clamp(value, lowest, WhisperPassParameters::maxDecoders);
    if (clamped != value && lastLogged.exchange(value) != value)
        Log::system(QStringLiteral("[WhisperWrapper] %1 %2 is out of range; using %3")
                        .arg(QLatin1String(setting))
                        .arg(value)
                        .arg(clamped));
    return clamped;
}

std::atomic<int> lastLoggedBestOf{INT_MIN};
std::atomic<int> lastLoggedBeamSize{INT_MIN};

} // namespace

WhisperPassParameters::WhisperPassParameters(const QString& modelPath, int processorCount)
    : params(whisper_full_default_params(WHISPER_SAMPLING_GREEDY))
{
    params.n_threads = threadCount(processorCount);
    params.translate = false;
    params.single_segment = false;
    params.print_special = false;
    params.print_progress = false;
    params.print_realtime = false;
    params.print_timestamps = false;
    params.suppress_blank = true;
    params.no_speech_thold = noSpeechThreshold;
    params.logprob_thold = logProbThreshold;
    params.entropy_thold = entropyThreshold;

    // whisper.cpp refuses a pass that asks for more decoders than it has
    // (every dictation would fail), so the counts are clamped to its range.
    params.greedy.best_of = clampedDecoderCount("WhisperBestOf", AppConfig::whisperBestOf(), 1, lastLoggedBestOf);
    // Only a real beam replaces the library's default; the greedy strategy
    // does not read it anyway.
    const int32_t beamSize = AppConfig::whisperBeamSize();
    if (beamSize >= 5)
        params.beam_search.beam_size = clampedDecoderCount("WhisperBeamSize", beamSize, 5, lastLoggedBeamSize);
    params.temperature = AppConfig::whisperTemperature();
    params.temperature_inc = AppConfig::whisperNoFallback() ? 0.0f : 0.2f;
    const float entropySetting = AppConfig::whisperEntropyThreshold();
    if (entropySetting != entropyThreshold)
        params.entropy_thold = entropySetting;
    const float logProbSetting = AppConfig::whisperLogProbThreshold();
    if (logProbSetting != logProbThreshold)
        params.logprob_thold = logProbSetting;

    language = languageFor(modelPath).toStdString();
    params.language = language.c_str();
    params.suppress_regex = suppressPattern;

    prompt = dictionaryPrompt(AppConfig::whisperDictionaryWords()).toStdString();
    if (!prompt.empty())
        params.initial_prompt = prompt.c_str();
}

int WhisperPassParameters::configuredProcessorCount()
{
#if defined(__SANITIZE_THREAD__)
    // whisper.cpp's compute threads hand work over through atomics that
    // ThreadSanitizer cannot see: it would weigh every hand-over as a race
    // and make a pass thirty times slower. Such a build checks our threads,
    // not the library's, so its passes take one processor.
    return 1;
#endif
    // The processors this process may run on, not the machine's: a
    // confined process given more spinning threads than it may run waits
    // on them. Unconfined, that is every processor.
    if (processorAllowance())
        return std::max(1, processorAllowance()());
    return std::max(1, QThread::idealThreadCount());
}

void WhisperPassParameters::setProcessorAllowance(std::function<int()> allowance)
{
    processorAllowance() = std::move(allowance);
}

int WhisperPassParameters::threadCount(int processorCount)
{
    return std::min(processorCount, 8);
}

QString WhisperPassParameters::languageFor(const QString& modelPath)
{
    return modelPath.contains(QLatin1String(".en.bin"), Qt::CaseSensitive) ? QStringLiteral("en")
                                                                           : QStringLiteral("auto");
}

QString WhisperPassParameters::dictionaryPrompt(const QStringList& words)
{
    return words.join(QStringLiteral(", "));
}
