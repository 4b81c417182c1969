#include "core/speech/WhisperPassParameters.h"

#include "core/config/AppConfig.h"

#include <unistd.h>

#include <algorithm>

WhisperPassParameters::WhisperPassParameters(const QString& modelPath, int processorCount)
    : params_(whisper_full_default_params(WHISPER_SAMPLING_GREEDY))
{
    params_.n_threads = threadCount(processorCount);
    params_.translate = false;
    params_.single_segment = false;
    params_.print_special = false;
    params_.print_progress = false;
    params_.print_realtime = false;
    params_.print_timestamps = false;
    params_.suppress_blank = true;
    params_.no_speech_thold = noSpeechThreshold;
    params_.logprob_thold = logProbThreshold;
    params_.entropy_thold = entropyThreshold;

    params_.greedy.best_of = AppConfig::whisperBestOf();
    // Only a real beam replaces the library's default; the greedy strategy
    // does not read it anyway.
    const int32_t beamSize = AppConfig::whisperBeamSize();
    if (beamSize >= 5)
        params_.beam_search.beam_size = beamSize;
    params_.temperature = AppConfig::whisperTemperature();
    params_.temperature_inc = AppConfig::whisperNoFallback() ? 0.0f : 0.2f;
    const float entropySetting = AppConfig::whisperEntropyThreshold();
    if (entropySetting != entropyThreshold)
        params_.entropy_thold = entropySetting;
    const float logProbSetting = AppConfig::whisperLogProbThreshold();
    if (logProbSetting != logProbThreshold)
        params_.logprob_thold = logProbSetting;

    language_ = languageFor(modelPath).toStdString();
    params_.language = language_.c_str();
    params_.suppress_regex = suppressPattern;

    prompt_ = dictionaryPrompt(AppConfig::whisperDictionaryWords()).toStdString();
    if (!prompt_.empty())
        params_.initial_prompt = prompt_.c_str();
}

int WhisperPassParameters::configuredProcessorCount()
{
    // Every processor of the machine, not only those online right now.
    const long count = sysconf(_SC_NPROCESSORS_CONF);
    return count > 0 ? static_cast<int>(count) : 1;
}

int WhisperPassParameters::threadCount(int processorCount)
{
    return std::min(processorCount, 8);
}

QString WhisperPassParameters::languageFor(const QString& modelPath)
{
    return modelPath.contains(QLatin1String(".en.bin"), Qt::CaseSensitive) ? QStringLiteral("en") : QStringLiteral("auto");
}

QString WhisperPassParameters::dictionaryPrompt(const QStringList& words)
{
    return words.join(QStringLiteral(", "));
}
