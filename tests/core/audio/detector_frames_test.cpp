#include "core/audio/DetectorFrames.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

struct Frame {
    int64_t index;
    std::vector<float> samples;
};

struct Recorder {
    std::vector<Frame> frames;
    auto feed()
    {
        return [this](std::span<const float> frame, int64_t index) {
            frames.push_back({index, std::vector<float>(frame.begin(), frame.end())});
        };
    }
};

std::vector<float> ramp(float from, size_t count)
{
    std::vector<float> samples(count);
    std::iota(samples.begin(), samples.end(), from);
    return samples;
}

} // namespace

// 375 converted samples per callback: one frame at 0, 55 carried over, and
// the next callback's first frame starts at 320 with those 55 samples.
TEST(DetectorFrames, CarriesTheRemainderIntoTheNextCallback)
{
    std::vector<float> pending;
    int64_t processed = 0;
    Recorder recorder;

    DetectorFrames::append(pending, processed, ramp(0, 375), recorder.feed());
    ASSERT_EQ(recorder.frames.size(), 1u);
    EXPECT_EQ(recorder.frames[0].index, 0);
    EXPECT_EQ(recorder.frames[0].samples, ramp(0, 320));
    EXPECT_EQ(pending, ramp(320, 55));
    EXPECT_EQ(processed, 320);

    DetectorFrames::append(pending, processed, ramp(375, 375), recorder.feed());
    ASSERT_EQ(recorder.frames.size(), 2u);
    EXPECT_EQ(recorder.frames[1].index, 320);
    EXPECT_EQ(recorder.frames[1].samples, ramp(320, 320));
    EXPECT_EQ(pending.size(), 110u);
    EXPECT_EQ(processed, 640);
}

TEST(DetectorFrames, ZeroSamplesFeedNothingAndLargeBuffersGiveSeveralFrames)
{
    std::vector<float> pending{1, 2};
    int64_t processed = 640;
    Recorder recorder;
    DetectorFrames::append(pending, processed, {}, recorder.feed());
    EXPECT_TRUE(recorder.frames.empty());
    EXPECT_EQ(pending.size(), 2u);

    DetectorFrames::append(pending, processed, ramp(3, 1000), recorder.feed());
    ASSERT_EQ(recorder.frames.size(), 3u);
    EXPECT_EQ(recorder.frames[0].index, 640);
    EXPECT_EQ(recorder.frames[1].index, 960);
    EXPECT_EQ(recorder.frames[2].index, 1280);
    EXPECT_EQ(recorder.frames[0].samples.front(), 1.0f);
    EXPECT_EQ(pending.size(), 1002u - 960u);
    EXPECT_EQ(processed, 1600);
}

TEST(DetectorFrames, FlushPadsTheLastFrameWithSilence)
{
    std::vector<float> pending{0.5f, -0.5f};
    Recorder recorder;
    DetectorFrames::flush(pending, 960, recorder.feed());
    ASSERT_EQ(recorder.frames.size(), 1u);
    EXPECT_EQ(recorder.frames[0].index, 960);
    ASSERT_EQ(recorder.frames[0].samples.size(), 320u);
    EXPECT_EQ(recorder.frames[0].samples[1], -0.5f);
    EXPECT_EQ(recorder.frames[0].samples[2], 0.0f);
    EXPECT_EQ(recorder.frames[0].samples[319], 0.0f);

    std::vector<float> empty;
    DetectorFrames::flush(empty, 0, recorder.feed());
    EXPECT_EQ(recorder.frames.size(), 1u);
}
