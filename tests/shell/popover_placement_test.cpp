#include "shell/PopoverPlacement.h"

#include <gtest/gtest.h>

using PopoverPlacement::originFor;
using PopoverPlacement::ScreenArea;

namespace {

const QSize panel(380, 80);
// A 1280x800 screen with a 30-pixel top bar, and a second one to its right.
const ScreenArea laptop{QRect(0, 0, 1280, 800), QRect(0, 30, 1280, 770)};
const ScreenArea monitor{QRect(1280, 0, 1920, 1080), QRect(1280, 0, 1920, 1040)};

} // namespace

TEST(PopoverPlacement, OpensCentredUnderTheIconFivePixelsBelowIt)
{
    const QRect icon(600, 3, 24, 24);
    EXPECT_EQ(originFor(panel, icon, std::nullopt, {laptop}), QPoint(612 - 190, 27 + 5));
}

TEST(PopoverPlacement, OpensAboveAnIconAtTheBottomOfTheScreen)
{
    const ScreenArea bottomPanel{QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 770)};
    const QRect icon(600, 773, 24, 24);
    EXPECT_EQ(originFor(panel, icon, std::nullopt, {bottomPanel}), QPoint(422, 773 - 5 - 80));
    // A tall panel too.
    EXPECT_EQ(originFor(QSize(380, 320), icon, std::nullopt, {bottomPanel}), QPoint(422, 773 - 5 - 320));
}

TEST(PopoverPlacement, StaysOnTheIconsScreenNearItsEdges)
{
    // An icon in the far corner: the panel keeps to the screen.
    EXPECT_EQ(originFor(panel, QRect(1260, 3, 20, 24), std::nullopt, {laptop, monitor}), QPoint(1280 - 380, 32));
    EXPECT_EQ(originFor(panel, QRect(0, 3, 20, 24), std::nullopt, {laptop}), QPoint(0, 32));
    // An icon in the second screen's bottom panel opens the panel above it,
    // within that screen's free area.
    EXPECT_EQ(originFor(panel, QRect(2500, 1050, 24, 24), std::nullopt, {laptop, monitor}), QPoint(2322, 1040 - 80));
}

TEST(PopoverPlacement, UsesTheSavedOriginUnchangedWhileItMeetsAScreen)
{
    const QRect icon(600, 3, 24, 24);
    EXPECT_EQ(originFor(panel, icon, QPoint(100, 500), {laptop}), QPoint(100, 500));
    // Partly off the screen is still the user's choice.
    EXPECT_EQ(originFor(panel, icon, QPoint(-300, 760), {laptop}), QPoint(-300, 760));
    EXPECT_EQ(originFor(panel, icon, QPoint(2000, 900), {laptop, monitor}), QPoint(2000, 900));
}

TEST(PopoverPlacement, ASavedOriginOnADisconnectedScreenIsNotUsed)
{
    const QRect icon(600, 3, 24, 24);
    // The monitor it was saved on is gone.
    EXPECT_EQ(originFor(panel, icon, QPoint(2000, 900), {laptop}), QPoint(422, 32));
    EXPECT_EQ(originFor(panel, icon, QPoint(-5000, -5000), {laptop}), QPoint(422, 32));
}
