#include "shell/tray/PopoverPlacement.h"

#include <gtest/gtest.h>

using PopoverPlacement::originFor;
using PopoverPlacement::ScreenArea;

namespace {

const QSize panel(380, 80);
// A 1280x800 screen with a 30-pixel top bar, and a second one to its right.
const ScreenArea laptop{QRect(0, 0, 1280, 800), QRect(0, 30, 1280, 770)};
const ScreenArea monitor{QRect(1280, 0, 1920, 1080), QRect(1280, 0, 1920, 1040)};

} // namespace

TEST(PopoverPlacement, OpensUnderOrOverTheIconAndKeepsToItsScreen)
{
    const ScreenArea bottomPanel{QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 770)};
    const QRect bottomIcon(600, 773, 24, 24);
    const struct {
        QSize size;
        QRect icon;
        std::vector<ScreenArea> screens;
        QPoint origin;
    } cases[] = {
        // Centred under the icon, five pixels below it.
        {panel, QRect(600, 3, 24, 24), {laptop}, QPoint(612 - 190, 27 + 5)},
        // An icon at the bottom of the screen opens the panel above it, tall or not.
        {panel, bottomIcon, {bottomPanel}, QPoint(422, 773 - 5 - 80)},
        {QSize(380, 320), bottomIcon, {bottomPanel}, QPoint(422, 773 - 5 - 320)},
        // An icon in a corner: the panel keeps to the icon's screen.
        {panel, QRect(1260, 3, 20, 24), {laptop, monitor}, QPoint(1280 - 380, 32)},
        {panel, QRect(0, 3, 20, 24), {laptop}, QPoint(0, 32)},
        {panel, QRect(2500, 1050, 24, 24), {laptop, monitor}, QPoint(2322, 1040 - 80)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(originFor(c.size, c.icon, std::nullopt, c.screens), c.origin) << c.icon.x() << "," << c.icon.y();
}

TEST(PopoverPlacement, ASavedOriginIsUsedUnchangedOnlyWhileItMeetsAScreen)
{
    const QRect icon(600, 3, 24, 24);
    EXPECT_EQ(originFor(panel, icon, QPoint(100, 500), {laptop}), QPoint(100, 500));
    // Partly off the screen is still the user's choice.
    EXPECT_EQ(originFor(panel, icon, QPoint(-300, 760), {laptop}), QPoint(-300, 760));
    EXPECT_EQ(originFor(panel, icon, QPoint(2000, 900), {laptop, monitor}), QPoint(2000, 900));
    // The monitor it was saved on is gone.
    EXPECT_EQ(originFor(panel, icon, QPoint(2000, 900), {laptop}), QPoint(422, 32));
    EXPECT_EQ(originFor(panel, icon, QPoint(-5000, -5000), {laptop}), QPoint(422, 32));
}
