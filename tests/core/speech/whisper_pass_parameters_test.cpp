#include "core/config/AppConfig.h"
#include "core/speech/WhisperPassParameters.h"
#include "core/speech/WhisperTranscriptText.h"
#include "support/LogCapture.h"
#include "support/SettingsReset.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class WhisperPassParametersTest : public DefaultsTest { };

QString text(const char* utf8)
{
    return utf8 ? QString::fromUtf8(utf8) : QStringLiteral("<null>");
}

} // namespace

TEST_F(WhisperPassParametersTest, DefaultSettingsGiveTheGreedyRecord)
{
    const WhisperPassParameters parameters(QStringLiteral("/models/ggml-large-v3-turbo-q5_0.bin"), 4);
    const whisper_full_params& p = parameters.record();
    const whisper_full_params library = whisper_full_default_params(WHISPER_SAMPLING_GREEDY);

    EXPECT_EQ(p.strategy, WHISPER_SAMPLING_GREEDY);
    EXPECT_EQ(p.n_threads, 4);
    EXPECT_FALSE(p.translate);
    EXPECT_FALSE(p.single_segment);
    EXPECT_FALSE(p.print_special);
    EXPECT_FALSE(p.print_progress);
    EXPECT_FALSE(p.print_realtime);
    EXPECT_FALSE(p.print_timestamps);
    EXPECT_TRUE(p.suppress_blank);
    EXPECT_FLOAT_EQ(p.no_speech_thold, 0.6f);
    EXPECT_FLOAT_EQ(p.logprob_thold, -1.0f);
    EXPECT_FLOAT_EQ(p.entropy_thold, 2.4f);
    EXPECT_EQ(p.greedy.best_of, 5);
    EXPECT_EQ(p.beam_search.beam_size, 5);
    EXPECT_FLOAT_EQ(p.temperature, 0.0f);
    EXPECT_FLOAT_EQ(p.temperature_inc, 0.2f);
    EXPECT_EQ(text(p.language), "auto");
    EXPECT_EQ(text(p.suppress_regex), text(WhisperPassParameters::suppressPattern));
    EXPECT_EQ(p.initial_prompt, nullptr);

    // Fields the bridge does not name keep the library's greedy defaults.
    EXPECT_EQ(p.n_max_text_ctx, library.n_max_text_ctx);
    EXPECT_EQ(p.no_context, library.no_context);
    EXPECT_EQ(p.no_timestamps, library.no_timestamps);
    EXPECT_EQ(p.token_timestamps, library.token_timestamps);
    EXPECT_EQ(p.max_len, library.max_len);
    EXPECT_EQ(p.audio_ctx, library.audio_ctx);
    EXPECT_EQ(p.detect_language, library.detect_language);
    EXPECT_EQ(p.suppress_nst, library.suppress_nst);
    EXPECT_EQ(p.offset_ms, library.offset_ms);
    EXPECT_EQ(p.duration_ms, library.duration_ms);
    EXPECT_EQ(p.vad, library.vad);
}

TEST_F(WhisperPassParametersTest, DecodingSettingsAreReadForEachPass)
{
    AppConfig::setWhisperBeamSize(4);
    AppConfig::setWhisperBestOf(3);
    AppConfig::setWhisperTemperature(0.4f);
    AppConfig::setWhisperNoFallback(true);
    AppConfig::setWhisperEntropyThreshold(2.8f);
    AppConfig::setWhisperLogProbThreshold(-0.5f);
    {
        const WhisperPassParameters parameters(QStringLiteral("model.bin"), 4);
        const whisper_full_params& p = parameters.record();
        EXPECT_EQ(p.beam_search.beam_size, whisper_full_default_params(WHISPER_SAMPLING_GREEDY).beam_search.beam_size);
        EXPECT_EQ(p.greedy.best_of, 3);
        EXPECT_FLOAT_EQ(p.temperature, 0.4f);
        EXPECT_FLOAT_EQ(p.temperature_inc, 0.0f);
        EXPECT_FLOAT_EQ(p.entropy_thold, 2.8f);
        EXPECT_FLOAT_EQ(p.logprob_thold, -0.5f);
    }

    AppConfig::setWhisperBeamSize(8);
    AppConfig::setWhisperNoFallback(false);
    const WhisperPassParameters parameters(QStringLiteral("model.bin"), 4);
    EXPECT_EQ(parameters.record().beam_search.beam_size, 8);
    EXPECT_FLOAT_EQ(parameters.record().temperature_inc, 0.2f);
}

TEST_F(WhisperPassParametersTest, DecoderCountsAreClampedToWhisperRangeAndLoggedOnce)
{
    LogCapture log;
    const auto record = [] {
        const WhisperPassParameters parameters(QStringLiteral("model.bin"), 1);
        return std::pair(parameters.record().greedy.best_of, parameters.record().beam_search.beam_size);
    };
    AppConfig::setWhisperBestOf(9);
    AppConfig::setWhisperBeamSize(64);
    EXPECT_EQ(record(), std::pair(8, 8));
    EXPECT_EQ(record(), std::pair(8, 8));
    EXPECT_EQ(log.systemLines(),
        QStringList({"[WhisperWrapper] WhisperBestOf 9 is out of range; using 8",
            "[WhisperWrapper] WhisperBeamSize 64 is out of range; using 8"}));

    AppConfig::setWhisperBestOf(-3);
    EXPECT_EQ(record().first, 1);
    AppConfig::setWhisperBestOf(8);
    AppConfig::setWhisperBeamSize(8);
    EXPECT_EQ(record(), std::pair(8, 8));
    EXPECT_EQ(log.systemLines().size(), 3);
    EXPECT_EQ(log.systemLines().last(), "[WhisperWrapper] WhisperBestOf -3 is out of range; using 1");
}

TEST_F(WhisperPassParametersTest, LanguageFollowsTheModelFileName)
{
    EXPECT_EQ(WhisperPassParameters::languageFor("/m/ggml-base.en.bin"), "en");
    EXPECT_EQ(WhisperPassParameters::languageFor("/m/ggml-large-v3-turbo-q8_0.bin"), "auto");
    EXPECT_EQ(WhisperPassParameters::languageFor("/m/ggml-large-v3.bin"), "auto");
    EXPECT_EQ(WhisperPassParameters::languageFor("/m/ggml-base.EN.bin"), "auto");

    const WhisperPassParameters english(QStringLiteral("/m/ggml-small.en.bin"), 1);
    EXPECT_EQ(text(english.record().language), "en");
}

TEST_F(WhisperPassParametersTest, DictionaryWordsBecomeThePrompt)
{
    const auto promptFor = [](const QStringList& words) {
        AppConfig::setWhisperDictionaryWords(words);
        const WhisperPassParameters parameters(QStringLiteral("model.bin"), 1);
        return text(parameters.record().initial_prompt);
    };
    EXPECT_EQ(promptFor({}), "<null>");
    EXPECT_EQ(promptFor({"Tallowind", "ggml"}), "Tallowind, ggml");
    EXPECT_EQ(promptFor({""}), "<null>");
    EXPECT_EQ(promptFor({"", "x"}), ", x");
    EXPECT_EQ(promptFor({" padded "}), " padded ");
    EXPECT_EQ(promptFor({"Zoë", "naïve"}), "Zoë, naïve");
}

TEST(WhisperPassParameterConstants, ThreadCountAndSuppressPattern)
{
    EXPECT_EQ(WhisperPassParameters::threadCount(4), 4);
    EXPECT_EQ(WhisperPassParameters::threadCount(12), 8);
    EXPECT_GE(WhisperPassParameters::configuredProcessorCount(), 1);

    const QString pattern = QString::fromUtf8(WhisperPassParameters::suppressPattern);
    EXPECT_EQ(pattern.size(), 43);
    EXPECT_EQ(pattern.split(u'|').size(), 7);
    EXPECT_TRUE(pattern.startsWith(QStringLiteral("\\[Music\\]|\\[Applause\\]|\\[Laughter\\]|")));
    EXPECT_TRUE(pattern.endsWith(QString::fromUtf8("\u266A|\u266B|\u266C|\u2669")));
}

TEST(WhisperTranscriptText, SegmentsAreTrimmedJoinedAndCollapsed)
{
    EXPECT_EQ(assembleTranscript({" Hello", " world."}), "Hello world.");
    EXPECT_EQ(assembleTranscript({" one", "   ", nullptr, "two"}), "one two");
    EXPECT_EQ(assembleTranscript({"a  b   c"}), "a b c");
    EXPECT_EQ(assembleTranscript({"a\tb"}), "a\tb");
    EXPECT_EQ(assembleTranscript({"line\n", "\nnext"}), "line next");
    EXPECT_EQ(assembleTranscript({"caf\xC3\xA9 \xFF!"}), QString::fromUtf8("café \uFFFD!"));
}

TEST(WhisperTranscriptText, NothingUsableGivesAnEmptyResult)
{
    EXPECT_TRUE(assembleTranscript({}).isEmpty());
    EXPECT_TRUE(assembleTranscript({" ", "\n", "", nullptr}).isEmpty());
    EXPECT_EQ(assembleTranscript({"\xC2\xA0word\xE2\x80\x83"}), "word"); // Unicode spaces trim too
}
