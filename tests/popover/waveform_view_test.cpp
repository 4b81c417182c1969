#include "popover/WaveformView.h"

#include "shell/theme/Motion.h"

#include <gtest/gtest.h>

namespace {

class Waveform : public ::testing::Test {
protected:
    void SetUp() override { Motion::setDurationScale(0.0); }
    void TearDown() override { Motion::setDurationScale(1.0); }
    WaveformView view;
};

TEST_F(Waveform, ANewLevelEntersAtTheRightSpreadsLeftOneStepPerTickAndOldValuesFallOff)
{
    for (double height : view.barHeights())
        EXPECT_EQ(height, 4.0);

    view.setAudioLevel(0.5);
    EXPECT_EQ(view.barHeights()[19], 12.0);
    EXPECT_EQ(view.barHeights()[18], 4.0);
    view.scrollOneStep();
    EXPECT_EQ(view.barHeights()[18], 12.0);
    EXPECT_EQ(view.barHeights()[17], 4.0);

    view.setAudioLevel(0.25);
    EXPECT_EQ(view.audioHistory()[18], 0.5);
    EXPECT_EQ(view.audioHistory()[19], 0.25);
    for (int tick = 0; tick < 19; ++tick)
        view.scrollOneStep();
    for (double value : view.audioHistory())
        EXPECT_EQ(value, 0.25) << "after 19 ticks the whole row";

    // Levels are not clamped.
    EXPECT_EQ(WaveformView::barHeight(1.5), 28.0);
    EXPECT_EQ(WaveformView::barHeight(-0.25), 0.0);
}

TEST_F(Waveform, ScrollsOnlyWhileShown)
{
    EXPECT_FALSE(view.isScrolling());
    view.show();
    EXPECT_TRUE(view.isScrolling());
    view.hide();
    EXPECT_FALSE(view.isScrolling());
}

TEST_F(Waveform, ResetStartsAFreshFlatRowAtTheCurrentLevel)
{
    view.setAudioLevel(0.8);
    view.scrollOneStep();
    view.reset(0.3);
    for (double height : view.barHeights())
        EXPECT_EQ(height, 4.0);
    view.setAudioLevel(0.3);
    EXPECT_EQ(view.audioHistory()[19], 0.0) << "the level it started at is no change";
}

} // namespace
