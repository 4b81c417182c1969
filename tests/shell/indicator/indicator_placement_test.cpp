#include "shell/indicator/IndicatorPlacement.h"

#include <gtest/gtest.h>

using IndicatorPlacement::originFor;
using IndicatorPlacement::Screen;

namespace {

const QSize panel(220, 56);
// A 1280 x 800 screen with a 30-pixel panel along its top edge.
const Screen primary{QRect(0, 0, 1280, 800), QRect(0, 30, 1280, 770)};
// A larger screen to the right of it, with a 40-pixel panel at its bottom.
const Screen right{QRect(1280, 0, 1920, 1080), QRect(1280, 0, 1920, 1040)};
// And one to the left of the primary, at negative coordinates.
const Screen left{QRect(-1920, 0, 1920, 1080), QRect(-1920, 0, 1920, 1080)};

} // namespace

TEST(IndicatorPlacementOnOneScreen, CentredEightAboveTheField)
{
    EXPECT_EQ(originFor(panel, QRectF(500, 300, 200, 30), {primary}), QPoint(490, 300 - 8 - 56));
}

TEST(IndicatorPlacementOnOneScreen, BelowTheFieldWhenThereIsNoRoomAbove)
{
    // The top panel ends at 30: 60 - 8 - 56 would reach under it.
    EXPECT_EQ(originFor(panel, QRectF(500, 60, 200, 30), {primary}), QPoint(490, 60 + 30 + 8));
}

TEST(IndicatorPlacementOnOneScreen, ShiftedInFromTheLeftAndRightEdges)
{
    EXPECT_EQ(originFor(panel, QRectF(0, 300, 100, 30), {primary}).x(), 10);
    EXPECT_EQ(originFor(panel, QRectF(1230, 300, 50, 30), {primary}).x(), 1280 - 220 - 10);
    // Inside the screen but closer than the inset: left where it is.
    EXPECT_EQ(originFor(panel, QRectF(0, 300, 226, 30), {primary}).x(), 3);
}

TEST(IndicatorPlacementOnOneScreen, ATallFieldLeavesTheIndicatorOverlappingItsLowerPart)
{
    EXPECT_EQ(originFor(panel, QRectF(100, 40, 400, 740), {primary}), QPoint(190, 800 - 56 - 10));
}

TEST(IndicatorPlacementOnOneScreen, WithoutAFieldAThirdOfTheWayDownTheWholeScreen)
{
    // Its bottom edge a third of the screen's height below the top.
    EXPECT_EQ(originFor(panel, std::nullopt, {primary}), QPoint(530, 267 - 56));
}

TEST(IndicatorPlacementWithoutScreens, FieldUnclampedAndAFixedSpotWithoutOne)
{
    EXPECT_EQ(originFor(panel, QRectF(-50, 10, 100, 30), {}), QPoint(-110, 10 - 8 - 56));
    EXPECT_EQ(originFor(panel, std::nullopt, {}), QPoint(100, 100));
}

TEST(IndicatorPlacementOnTwoScreens, ClampedToTheScreenThatHoldsTheField)
{
    // Near the left edge of the right-hand screen: it stays on that screen
    // instead of being pulled onto the primary one.
    EXPECT_EQ(originFor(panel, QRectF(1290, 500, 100, 30), {primary, right}), QPoint(1280 + 10, 500 - 8 - 56));
    // At the right-hand screen's top: below the field on that screen.
    EXPECT_EQ(originFor(panel, QRectF(2000, 5, 200, 20), {primary, right}), QPoint(1990, 5 + 20 + 8));
    // Near its bottom panel (at 1040, not the primary's 800).
    EXPECT_EQ(originFor(panel, QRectF(2000, 900, 200, 130), {primary, right}).y(), 900 - 8 - 56);
    // On a screen at negative coordinates, against its right edge.
    EXPECT_EQ(originFor(panel, QRectF(-100, 400, 90, 30), {primary, left}).x(), -220 - 10);
}

TEST(IndicatorPlacementOnTwoScreens, FieldOutsideEveryScreenAndNoFieldUseThePrimary)
{
    EXPECT_EQ(originFor(panel, QRectF(5000, 300, 100, 30), {primary, right}).x(), 1280 - 220 - 10);
    EXPECT_EQ(originFor(panel, std::nullopt, {primary, right}), QPoint(530, 211));
    EXPECT_EQ(originFor(panel, std::nullopt, {right, primary}), QPoint(1280 + 960 - 110, 360 - 56));
}
