#include "shell/indicator/DevicePixels.h"
#include "shell/windows/ScreenInUse.h"

#include <gtest/gtest.h>

using DevicePixels::inLogicalPixels;
using DevicePixels::ScreenScale;

namespace {

// A GTK window at GDK_SCALE=2 as measured under openbox: the X server's
// frame and client area, and the toolkit's own report of its window (the
// frame, in halves, rounded) and of its entry.
const ActiveWindowGeometry gtkWindow{QRect(100, 100, 802, 145), QRect(101, 120, 800, 120)};
const QRectF gtkReportedFrame(50, 50, 401, 73);
const QRectF gtkReportedEntry(50, 60, 400, 60);

FocusedElement element(const QRectF& bounds, const QRectF& window)
{
    FocusedElement focused;
    focused.bounds = bounds;
    focused.windowBounds = window;
    return focused;
}

void expectNear(const QRectF& actual, const QRectF& expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1.5) << "x";
    EXPECT_NEAR(actual.y(), expected.y(), 1.5) << "y";
    EXPECT_NEAR(actual.width(), expected.width(), 1.5) << "width";
    EXPECT_NEAR(actual.height(), expected.height(), 1.5) << "height";
}

} // namespace

TEST(DevicePixels, AScaledToolkitsFieldIsPlacedByItsWindowsRealSize)
{
    const std::vector<ScreenScale> unscaled{{QRect(0, 0, 2560, 1600), 1.0}};
    const FocusedElement gtk = inLogicalPixels(element(gtkReportedEntry, gtkReportedFrame), gtkWindow, unscaled);
    expectNear(*gtk.bounds, QRectF(101, 120, 800, 120));

    // Our own windows at 200 % too: back to Qt's logical pixels.
    const std::vector<ScreenScale> doubled{{QRect(0, 0, 1280, 800), 2.0}};
    expectNear(*inLogicalPixels(element(gtkReportedEntry, gtkReportedFrame), gtkWindow, doubled).bounds,
        QRectF(50.5, 60, 400, 60));

    // A toolkit that reports its client area, on a second monitor whose
    // coordinates it scales from the monitor's corner, and the field's parent
    // alike.
    const ActiveWindowGeometry qtWindow{QRect(1599, 280, 802, 625), QRect(1600, 300, 800, 600)};
    FocusedElement qt = element(QRectF(1460, 170, 100, 30), QRectF(1440, 150, 400, 300));
    qt.parentBounds = QRectF(1450, 160, 200, 50);
    qt = inLogicalPixels(qt, qtWindow, {{QRect(0, 0, 1280, 800), 1.0}, {QRect(1280, 0, 1280, 800), 1.0}});
    EXPECT_EQ(*qt.bounds, QRectF(1640, 340, 200, 60));
    EXPECT_EQ(*qt.parentBounds, QRectF(1620, 320, 400, 100));
}

TEST(DevicePixels, AnUnscaledToolkitIsTakenAsItReportsWhateverOurOwnScale)
{
    // GTK at scale 1 reports its frame as the X server shows it.
    const ActiveWindowGeometry window{QRect(100, 100, 402, 85), QRect(101, 120, 400, 60)};
    const FocusedElement gtk = element(QRectF(101, 120, 400, 60), QRectF(100, 100, 402, 85));
    EXPECT_EQ(*inLogicalPixels(gtk, window, {{QRect(0, 0, 1280, 800), 1.0}}).bounds, QRectF(101, 120, 400, 60));
    EXPECT_EQ(*inLogicalPixels(gtk, window, {{QRect(0, 0, 640, 400), 2.0}}).bounds, QRectF(50.5, 60, 200, 30));

    // Without the window's size, or another window than the field's, there
    // is no scale to read: device pixels.
    EXPECT_EQ(*inLogicalPixels(gtk, std::nullopt, {{QRect(0, 0, 1280, 800), 1.0}}).bounds, QRectF(101, 120, 400, 60));
    const ActiveWindowGeometry other{QRect(0, 0, 1000, 200), QRect(1, 20, 998, 179)};
    EXPECT_EQ(*inLogicalPixels(gtk, other, {{QRect(0, 0, 1280, 800), 1.0}}).bounds, QRectF(101, 120, 400, 60));
}

TEST(DevicePixels, EachMonitorScalesFromItsOwnCorner)
{
    const std::vector<ScreenScale> screens{{QRect(0, 0, 1280, 800), 1.0}, {QRect(1280, 0, 640, 400), 2.0}};
    EXPECT_EQ(DevicePixels::toLogical(QRectF(1480, 100, 200, 60), screens), QRectF(1380, 50, 100, 30));
    EXPECT_EQ(DevicePixels::toLogical(QRectF(200, 100, 200, 60), screens), QRectF(200, 100, 200, 60));
    EXPECT_EQ(DevicePixels::screenHolding(QPointF(2500, 700), screens), 1u);
    EXPECT_EQ(DevicePixels::screenHolding(QPointF(2600, 700), screens), std::nullopt);
}

TEST(ScreenInUse, TheActiveWindowsMonitorThenThePointersThenTheFirst)
{
    // One 2560 x 800 screen split into two monitors.
    const std::vector<ScreenScale> split{{QRect(0, 0, 1280, 800), 1.0}, {QRect(1280, 0, 1280, 800), 1.0}};
    const QRect onSecond(1500, 200, 600, 400);
    EXPECT_EQ(ScreenInUse::indexFor(onSecond, QPointF(100, 100), split), 1u);
    EXPECT_EQ(ScreenInUse::indexFor(QRect(100, 100, 300, 200), QPointF(2000, 100), split), 0u);
    EXPECT_EQ(ScreenInUse::indexFor(std::nullopt, QPointF(2000, 100), split), 1u);
    // A window mostly off every monitor leaves it to the pointer.
    EXPECT_EQ(ScreenInUse::indexFor(QRect(3000, 100, 300, 200), QPointF(2000, 100), split), 1u);
    EXPECT_EQ(ScreenInUse::indexFor(std::nullopt, QPointF(-50, -50), split), 0u);
}
