#include "core/audio/DetectorFrames.h"
#include "core/audio/SpeechTrim.h"
#include "core/audio/VoiceActivityDetector.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double rate = 16000;

// Silence with tone bursts (the detector's smoothing needs a few seconds of
// silence after a loud burst, less after a soft one) of `burst` seconds starting at the given seconds.
std::vector<float> bursts(
    double seconds, std::initializer_list<double> starts, double burst = 0.5, float amplitude = 0.3f)
{
    std::vector<float> audio(static_cast<size_t>(seconds * rate), 0.0f);
    for (const double start : starts) {
        const auto from = static_cast<size_t>(start * rate);
        const auto to = std::min(audio.size(), static_cast<size_t>((start + burst) * rate));
        for (size_t i = from; i < to; ++i)
            audio[i] =
                amplitude * static_cast<float>(std::sin(2 * std::numbers::pi * 220 * static_cast<double>(i) / rate));
    }
    return audio;
}

// A finalized detector that has seen `audio` as the capture path feeds it.
std::unique_ptr<VoiceActivityDetector> detect(const std::vector<float>& audio)
{
    auto detector = std::make_unique<VoiceActivityDetector>(static_cast<float>(rate));
    std::vector<float> pending;
    int64_t processed = 0;
    const auto feed = [&](std::span<const float> frame, int64_t index) { detector->processFrame(frame, index); };
    for (size_t at = 0; at < audio.size(); at += 375) {
        const size_t count = std::min<size_t>(375, audio.size() - at);
        DetectorFrames::append(pending, processed, std::span<const float>(audio.data() + at, count), feed);
    }
    DetectorFrames::flush(pending, processed, feed);
    detector->finalizeRecording(static_cast<int64_t>(audio.size()));
    return detector;
}

std::vector<float> expectedSpan(const std::vector<float>& audio, const VoiceActivityDetector& detector)
{
    const auto& segments = detector.segments();
    const int64_t start = std::max<int64_t>(0, segments.front().startSample - 8000);
    const int64_t end = std::min<int64_t>(static_cast<int64_t>(audio.size()), segments.back().endSample + 8000);
    return {audio.begin() + start, audio.begin() + end};
}

QString line(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

TEST(SpeechTrim, ModeOffTranscribesEverythingWhateverTheSegmentCount)
{
    const auto audio = bursts(15, {0.5, 3.5, 6.5, 9.5, 12.5}, 0.5, 0.05f);
    const auto detector = detect(audio);
    ASSERT_GT(detector->speechSegmentCount(), 3);
    LogCapture log;
    const auto decision = SpeechTrim::select(audio, detector.get(), true, "off", rate);
    EXPECT_FALSE(decision.silent);
    EXPECT_EQ(decision.audio, audio);
    const QStringList lines = log.systemLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("[VAD] Speech: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QString(", Segments: %1, Silence: ").arg(detector->speechSegmentCount())));
    EXPECT_TRUE(lines[0].endsWith("%"));
    EXPECT_EQ(
        lines[1], QString("[VAD] Using full audio (mode: off, segments: %1)").arg(detector->speechSegmentCount()));
}

TEST(SpeechTrim, ConservativeModeKeepsTheSpeechSpanWithHalfASecondMargin)
{
    const auto audio = bursts(6, {2, 3.2});
    const auto detector = detect(audio);
    ASSERT_GE(detector->speechSegmentCount(), 1);
    LogCapture log;
    const auto decision = SpeechTrim::select(audio, detector.get(), true, "conservative", rate);
    const auto expected = expectedSpan(audio, *detector);
    EXPECT_EQ(decision.audio, expected);
    EXPECT_LT(decision.audio.size(), audio.size());
    EXPECT_TRUE(log.hasSystemLine(QString::fromUtf8("[VAD] Conservative trim: 6.0s → %1s")
                                      .arg(static_cast<double>(expected.size()) / rate, 0, 'f', 1)))
        << log.systemLines().join("\n").toStdString();
}

// Speech at the very start and segments padded past the end stay inside the
// recording.
TEST(SpeechTrim, SpanTrimIsClampedToTheRecording)
{
    const auto audio = bursts(3, {0.05, 2.6}, 0.4);
    const auto detector = detect(audio);
    ASSERT_GE(detector->speechSegmentCount(), 1);
    ASSERT_LT(detector->segments().front().startSample, 8000);
    const auto decision = SpeechTrim::select(audio, detector.get(), true, "conservative", rate);
    EXPECT_EQ(decision.audio, expectedSpan(audio, *detector));
    EXPECT_EQ(decision.audio.front(), audio.front());
    EXPECT_EQ(decision.audio.size(),
        audio.size() - static_cast<size_t>(std::max<int64_t>(0, detector->segments().front().startSample - 8000)));
}

TEST(SpeechTrim, OtherModesExtractSpeechUpToThreeSegmentsAndSpanBeyond)
{
    {
        const auto audio = bursts(6, {2});
        const auto detector = detect(audio);
        ASSERT_GE(detector->speechSegmentCount(), 1);
        ASSERT_LE(detector->speechSegmentCount(), 3);
        LogCapture log;
        const auto decision = SpeechTrim::select(audio, detector.get(), true, "smart", rate);
        const auto extracted = detector->extractSpeechBuffer(audio);
        ASSERT_TRUE(extracted.has_value());
        EXPECT_EQ(decision.audio, *extracted);
        EXPECT_TRUE(log.hasSystemLine(QString::fromUtf8("[VAD] Smart mode: 6.0s → %1s")
                                          .arg(static_cast<double>(extracted->size()) / rate, 0, 'f', 1)))
            << log.systemLines().join("\n").toStdString();
    }
    {
        const auto audio = bursts(15, {0.5, 3.5, 6.5, 9.5, 12.5}, 0.5, 0.05f);
        const auto detector = detect(audio);
        ASSERT_GT(detector->speechSegmentCount(), 3);
        LogCapture log;
        const auto decision = SpeechTrim::select(audio, detector.get(), true, "smart", rate);
        EXPECT_EQ(decision.audio, expectedSpan(audio, *detector));
        EXPECT_EQ(log.systemLines().filter("Conservative trim").size(), 1);
    }
}

// A recording without detected speech gets a segment over its last second:
// the default mode then keeps that second and the margin before it.
TEST(SpeechTrim, SilentRecordingWithSegmentationKeepsItsLastSecondAndAHalf)
{
    const std::vector<float> audio(3 * 16000, 0.0f);
    const auto detector = detect(audio);
    const auto decision = SpeechTrim::select(audio, detector.get(), true, "conservative", rate);
    EXPECT_FALSE(decision.silent);
    EXPECT_EQ(decision.audio.size(), 24000u);
}

TEST(SpeechTrim, SilenceGateJudgesTheSignedMaximumWhenSegmentationIsOff)
{
    const std::vector<float> quiet(16000, 0.0009f);
    VoiceActivityDetector detector(static_cast<float>(rate));

    LogCapture log;
    auto decision = SpeechTrim::select(quiet, &detector, false, "conservative", rate);
    EXPECT_TRUE(decision.silent);
    EXPECT_TRUE(decision.audio.empty());
    EXPECT_EQ(log.systemLines(),
        (QStringList{line("[VAD] No speech segments detected - attempting transcription anyway"),
            line("[VAD] Audio duration: 1.0s (16000 samples)"),
            line("[VAD] Audio is silent (max amplitude: 0.000900)")}));

    // Loud, but only below zero.
    std::vector<float> negative(8000, -0.8f);
    negative[10] = 0.0005f;
    EXPECT_TRUE(SpeechTrim::select(negative, &detector, false, "off", rate).silent);

    std::vector<float> atThreshold(8000, 0.0f);
    atThreshold[4000] = 0.001f;
    LogCapture contentLog;
    decision = SpeechTrim::select(atThreshold, &detector, false, "off", rate);
    EXPECT_FALSE(decision.silent);
    EXPECT_EQ(decision.audio, atThreshold);
    EXPECT_TRUE(contentLog.hasSystemLine(
        line("[VAD] Audio has content (max amplitude: 0.001000), proceeding with transcription")));
}

TEST(SpeechTrim, WithoutADetectorTheWholeRecordingGoesUnjudged)
{
    const std::vector<float> quiet(1600, 0.0f);
    LogCapture log;
    const auto decision = SpeechTrim::select(quiet, nullptr, false, "conservative", rate);
    EXPECT_FALSE(decision.silent);
    EXPECT_EQ(decision.audio, quiet);
    EXPECT_TRUE(log.systemLines().isEmpty());
}
