#include "core/audio/AudioConverter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

std::vector<float> sine(double frequency, double rate, int64_t frames, int channels = 1, float amplitude = 0.5f)
{
    std::vector<float> samples;
    samples.reserve(static_cast<size_t>(frames * channels));
    for (int64_t i = 0; i < frames; ++i) {
        const auto value =
            static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
        for (int c = 0; c < channels; ++c)
            samples.push_back(value);
    }
    return samples;
}

std::vector<float> convertInChunks(AudioConverter& converter, const std::vector<float>& input, int64_t chunkFrames)
{
    std::vector<float> output;
    const int channels = converter.inputChannels();
    const auto frames = static_cast<int64_t>(input.size()) / channels;
    for (int64_t at = 0; at < frames; at += chunkFrames) {
        const int64_t count = std::min(chunkFrames, frames - at);
        QString error;
        EXPECT_TRUE(converter.convert(input.data() + at * channels, count, output, &error)) << error.toStdString();
    }
    return output;
}

int zeroCrossings(const std::vector<float>& samples, size_t from, size_t to)
{
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++crossings;
    }
    return crossings;
}

} // namespace

TEST(AudioConverter, RefusesFormatsItCannotConvert)
{
    EXPECT_EQ(AudioConverter::make(0, 1, 16000), nullptr);
    EXPECT_EQ(AudioConverter::make(48000, 0, 16000), nullptr);
    EXPECT_EQ(AudioConverter::make(-1, 1, 16000), nullptr);
    EXPECT_EQ(AudioConverter::make(NAN, 1, 16000), nullptr);
    EXPECT_NE(AudioConverter::make(44100, 2, 16000), nullptr);
}

TEST(AudioConverter, PassesMatchingRateThroughAndDownmixesChannels)
{
    auto mono = AudioConverter::make(16000, 1, 16000);
    ASSERT_NE(mono, nullptr);
    const std::vector<float> input{0.1f, -0.2f, 0.3f};
    std::vector<float> output{9.0f}; // converted samples are appended
    ASSERT_TRUE(mono->convert(input.data(), 3, output, nullptr));
    EXPECT_EQ(output, (std::vector<float>{9.0f, 0.1f, -0.2f, 0.3f}));

    auto stereo = AudioConverter::make(16000, 2, 16000);
    const std::vector<float> pairs{0.2f, 0.4f, -1.0f, 1.0f};
    std::vector<float> downmixed;
    ASSERT_TRUE(stereo->convert(pairs.data(), 2, downmixed, nullptr));
    ASSERT_EQ(downmixed.size(), 2u);
    EXPECT_FLOAT_EQ(downmixed[0], 0.3f);
    EXPECT_FLOAT_EQ(downmixed[1], 0.0f);

    std::vector<float> untouched;
    EXPECT_TRUE(mono->convert(input.data(), 0, untouched, nullptr));
    EXPECT_TRUE(untouched.empty());
}

// Feeding a stream buffer by buffer must give the same signal as feeding it
// at once: nothing repeated, nothing dropped at the joins.
TEST(AudioConverter, ChunkedResamplingMatchesOneShot)
{
    const auto input = sine(440, 48000, 48000);
    auto whole = AudioConverter::make(48000, 1, 16000);
    auto chunked = AudioConverter::make(48000, 1, 16000);
    const auto reference = convertInChunks(*whole, input, 48000);
    const auto pieces = convertInChunks(*chunked, input, 1024);

    // One second in: about one second out, less what the filter still holds.
    EXPECT_LE(pieces.size(), 16000u);
    EXPECT_GE(pieces.size(), 15800u);
    const size_t common = std::min(reference.size(), pieces.size());
    ASSERT_GE(common, 15800u);
    for (size_t i = 0; i < common; ++i)
        ASSERT_NEAR(pieces[i], reference[i], 1e-4) << "at sample " << i;
}

TEST(AudioConverter, KeepsPitchAndLevelAcrossRates)
{
    for (const double rate : {44100.0, 48000.0, 8000.0}) {
        auto converter = AudioConverter::make(rate, 2, 16000);
        ASSERT_NE(converter, nullptr);
        const auto input = sine(1000, rate, static_cast<int64_t>(rate), 2);
        const auto output = convertInChunks(*converter, input, 941);
        ASSERT_GT(output.size(), 15000u) << rate;
        // 1 kHz has 2 zero crossings per millisecond: about 2000 in 1000 ms.
        const int crossings = zeroCrossings(output, 1000, 15000);
        EXPECT_NEAR(crossings, 2 * 14000 / 16, 4) << rate;
        float peak = 0;
        for (size_t i = 1000; i < output.size(); ++i)
            peak = std::max(peak, std::abs(output[i]));
        EXPECT_NEAR(peak, 0.5f, 0.02f) << rate;
    }
}
