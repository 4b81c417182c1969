#include "core/audio/VoiceActivityDetector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int64_t frame = 320;

// Drives the detector with frames whose energies make a chosen pattern of
// speech ('S') and silence ('.') decisions: silence is digital zero, speech
// lifts the smoothed energy to just above the absolute threshold (2e-4) and
// holds it there, so the first zero frame after speech already falls below.
class ScriptedRecording {
public:
    explicit ScriptedRecording(VoiceActivityDetector& detector) : scriptedDetector(detector) { }

    std::string play(const std::string& pattern)
    {
        std::string decisions;
        for (char kind : pattern) {
            std::vector<float> samples(frame, 0.0f);
            double energy = 0;
            if (kind == 'S') {
                const double target = 2.05e-4;
                energy = (target - 0.95 * smoothed) / 0.05;
                std::fill(samples.begin(), samples.end(), static_cast<float>(std::sqrt(energy)));
            }
            smoothed = 0.05 * energy + 0.95 * smoothed;
            decisions += scriptedDetector.processFrame(samples, next) ? 'S' : '.';
            next += frame;
        }
        return decisions;
    }
    int64_t samplesPlayed() const { return next; }

private:
    VoiceActivityDetector& scriptedDetector;
    double smoothed = 0;
    int64_t next = 0;
};

std::string repeat(char kind, int count)
{
    return std::string(static_cast<size_t>(count), kind);
}

std::vector<float> ramp(int64_t count)
{
    std::vector<float> values(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i)
        values[static_cast<size_t>(i)] = static_cast<float>(i);
    return values;
}

} // namespace

TEST(VoiceActivityDetector, DerivesFrameCountsInSinglePrecision)
{
    VoiceActivityDetector detector(16000.0f);
    // 16000 * 0.02 is 319.99... in double; the float product is exactly 320.
    EXPECT_EQ(detector.frameSize(), 320);
    EXPECT_EQ(detector.paddingFrames(), 25);
    EXPECT_EQ(detector.minSilenceFrames(), 50);
    EXPECT_EQ(detector.speechSegmentCount(), 0);
    EXPECT_FLOAT_EQ(detector.silenceReductionRatio(), 0.0f);
}

TEST(VoiceActivityDetector, WorkedExampleOfOneSegment)
{
    VoiceActivityDetector detector(16000.0f);
    ScriptedRecording recording(detector);
    const std::string pattern = repeat('.', 100) + repeat('S', 50) + repeat('.', 100);
    ASSERT_EQ(recording.play(pattern), pattern);

    detector.finalizeRecording(recording.samplesPlayed());
    ASSERT_EQ(detector.speechSegmentCount(), 1);
    const auto& segment = detector.segments().front();
    EXPECT_EQ(segment.startSample, 24000);
    EXPECT_EQ(segment.endSample, 71680);
    EXPECT_FLOAT_EQ(segment.startTime, 1.5f);
    EXPECT_FLOAT_EQ(segment.endTime, 4.48f);
    EXPECT_FLOAT_EQ(detector.totalSpeechDuration(), 2.98f);
    EXPECT_FLOAT_EQ(detector.silenceReductionRatio(), 1.0f - 47680.0f / 80000.0f);
}

TEST(VoiceActivityDetector, FramesShorterThanOneFrameAreNotAnalysedLongerOnesCountWhole)
{
    VoiceActivityDetector detector(16000.0f);
    const std::vector<float> loud(319, 0.5f);
    EXPECT_FALSE(detector.processFrame(loud, 0));

    const std::vector<float> longFrame(400, 0.0f);
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(detector.processFrame(longFrame, i * 400));
    // Ten analysed frames of 400 samples against a final second of 16000.
    detector.finalizeRecording(40000);
    EXPECT_FLOAT_EQ(detector.silenceReductionRatio(), 1.0f - 16000.0f / 4000.0f);
}

TEST(VoiceActivityDetector, SteadyLoudInputIsNeverSpeech)
{
    // The smoothed energy approaches a constant input from below, so it never
    // exceeds 1.5 times the input's own energy, in warm-up or after.
    VoiceActivityDetector detector(16000.0f);
    std::vector<float> tone(frame);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5f * std::sin(static_cast<float>(i) * 0.3f);
    for (int i = 0; i < 200; ++i)
        EXPECT_FALSE(detector.processFrame(tone, i * frame)) << "frame " << i;
}

TEST(VoiceActivityDetector, HangOverEndsOnlyOnTheFiftiethSilentFrame)
{
    VoiceActivityDetector detector(16000.0f);
    ScriptedRecording recording(detector);
    const std::string pattern =
        repeat('.', 100) + repeat('S', 20) + repeat('.', 49) + repeat('S', 20) + repeat('.', 50) + repeat('.', 30);
    ASSERT_EQ(recording.play(pattern), pattern);
    detector.finalizeRecording(recording.samplesPlayed());

    ASSERT_EQ(detector.speechSegmentCount(), 1);
    const int64_t closingFrame = 100 + 20 + 49 + 20 + 49;
    EXPECT_EQ(detector.segments()[0].startSample, 100 * frame - 8000);
    EXPECT_EQ(detector.segments()[0].endSample, closingFrame * frame + 8000);
}

TEST(VoiceActivityDetector, FinalizingClosesOpenSpeechOrAddsTheFinalSecond)
{
    {
        SCOPED_TRACE("speech up to the end");
        VoiceActivityDetector detector(16000.0f);
        ScriptedRecording recording(detector);
        recording.play(repeat('.', 10) + repeat('S', 40));
        detector.finalizeRecording(recording.samplesPlayed());
        ASSERT_EQ(detector.speechSegmentCount(), 1);
        EXPECT_EQ(detector.segments()[0].startSample, 0); // padding clipped at the start
        EXPECT_EQ(detector.segments()[0].endSample, recording.samplesPlayed());
    }
    {
        SCOPED_TRACE("no speech at all");
        VoiceActivityDetector detector(16000.0f);
        ScriptedRecording recording(detector);
        recording.play(repeat('.', 150));
        const int64_t total = recording.samplesPlayed();
        detector.finalizeRecording(total);
        ASSERT_EQ(detector.speechSegmentCount(), 1);
        EXPECT_EQ(detector.segments()[0].startSample, total - 16000);
        EXPECT_EQ(detector.segments()[0].endSample, total);

        const auto extracted = detector.extractSpeechBuffer(ramp(total));
        ASSERT_TRUE(extracted.has_value());
        ASSERT_EQ(static_cast<int64_t>(extracted->size()), 16000 + 800);
        EXPECT_EQ(extracted->front(), static_cast<float>(total - 16000 - 800));
        EXPECT_EQ(extracted->back(), static_cast<float>(total - 1));
    }
    {
        SCOPED_TRACE("speech ended long before the end");
        VoiceActivityDetector detector(16000.0f);
        ScriptedRecording recording(detector);
        recording.play(repeat('.', 20) + repeat('S', 20) + repeat('.', 200));
        const int64_t total = recording.samplesPlayed();
        detector.finalizeRecording(total);
        ASSERT_EQ(detector.speechSegmentCount(), 2);
        EXPECT_EQ(detector.segments()[1].startSample, total - 16000);
    }
    {
        SCOPED_TRACE("empty recording");
        VoiceActivityDetector detector(16000.0f);
        detector.finalizeRecording(0);
        ASSERT_EQ(detector.speechSegmentCount(), 1);
        EXPECT_EQ(detector.segments()[0].startSample, 0);
        EXPECT_EQ(detector.segments()[0].endSample, 0);
        EXPECT_FALSE(detector.extractSpeechBuffer({}).has_value());
        EXPECT_FLOAT_EQ(detector.silenceReductionRatio(), 0.0f);
    }
}

TEST(VoiceActivityDetector, ExtractionHandsEachSampleOverOnce)
{
    // Two utterances 60 frames apart: the second segment's leading padding
    // reaches back into the first segment's trailing padding.
    VoiceActivityDetector detector(16000.0f);
    ScriptedRecording recording(detector);
    const std::string pattern =
        repeat('.', 100) + repeat('S', 50) + repeat('.', 60) + repeat('S', 50) + repeat('.', 60);
    ASSERT_EQ(recording.play(pattern), pattern);
    const int64_t total = recording.samplesPlayed();
    detector.finalizeRecording(total);

    ASSERT_EQ(detector.speechSegmentCount(), 2);
    const auto first = detector.segments()[0];
    const auto second = detector.segments()[1];
    ASSERT_LT(second.startSample, first.endSample);

    const auto extracted = detector.extractSpeechBuffer(ramp(total));
    ASSERT_TRUE(extracted.has_value());
    const int64_t from = first.startSample - 800;
    const int64_t to = std::min(total, second.endSample + 800);
    ASSERT_EQ(static_cast<int64_t>(extracted->size()), to - from);
    for (size_t i = 0; i < extracted->size(); ++i)
        ASSERT_EQ((*extracted)[i], static_cast<float>(from + static_cast<int64_t>(i))) << "at " << i;

    // The statistics still count each segment in full, overlap included.
    const int64_t counted = (first.endSample - first.startSample) + (second.endSample - second.startSample);
    EXPECT_FLOAT_EQ(detector.silenceReductionRatio(), 1.0f - static_cast<float>(counted) / static_cast<float>(total));
}

TEST(VoiceActivityDetector, ExtractionClampsToTheBufferItIsGiven)
{
    VoiceActivityDetector detector(16000.0f);
    ScriptedRecording recording(detector);
    recording.play(repeat('.', 100) + repeat('S', 50) + repeat('.', 50));
    detector.finalizeRecording(recording.samplesPlayed());
    ASSERT_EQ(detector.segments().back().endSample, 71680); // beyond the 64000 samples

    const auto extracted = detector.extractSpeechBuffer(ramp(64000));
    ASSERT_TRUE(extracted.has_value());
    EXPECT_EQ(extracted->front(), 23200.0f);
    EXPECT_EQ(extracted->back(), 63999.0f);

    // A buffer that ends before every window yields nothing.
    EXPECT_FALSE(detector.extractSpeechBuffer(ramp(1000)).has_value());
}

TEST(VoiceActivityDetector, ResetStartsAFreshAnalysis)
{
    VoiceActivityDetector detector(16000.0f);
    const std::string pattern = repeat('.', 100) + repeat('S', 50) + repeat('.', 100);
    {
        ScriptedRecording recording(detector);
        recording.play(pattern);
        detector.finalizeRecording(recording.samplesPlayed());
    }
    detector.reset();
    EXPECT_EQ(detector.speechSegmentCount(), 0);
    EXPECT_FLOAT_EQ(detector.silenceReductionRatio(), 0.0f);
    EXPECT_EQ(detector.frameSize(), 320);

    ScriptedRecording again(detector);
    EXPECT_EQ(again.play(pattern), pattern);
    detector.finalizeRecording(again.samplesPlayed());
    ASSERT_EQ(detector.speechSegmentCount(), 1);
    EXPECT_EQ(detector.segments()[0].startSample, 24000);
    EXPECT_EQ(detector.segments()[0].endSample, 71680);
}
