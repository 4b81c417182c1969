#pragma once

#include "platform/FocusSource.h"
#include "platform/FrontmostApplication.h"

#include <QPointF>
#include <QRect>
#include <QRectF>

#include <cstddef>
#include <optional>
#include <vector>

// The three kinds of pixels beside a field of another application: those
// the application reports (its toolkit's logical pixels when it is scaled),
// the X server's device pixels, and Qt's logical pixels our windows are
// placed in.
namespace DevicePixels {

// A screen as Qt maps it: its rectangle in Qt's coordinates and its device
// pixel ratio. Qt keeps a screen's top-left corner the same in both kinds of
// pixels and scales from there.
struct ScreenScale {
    QRect geometry;
    double ratio = 1.0;
};

// The desktop's screens as Qt sees them.
std::vector<ScreenScale> desktopScreens();

// How an application's pixels map to device pixels: the factor, and the
// same window as the application reports it and as the X server shows it.
struct TargetScale {
    double factor = 1.0;
    QRectF reported;
    QRectF device;
};

// Sets the window's rectangle as the application reported it against the
// active window's client area and frame (toolkits report either): the one
// whose width and height give the same factor, give or take a pixel of
// rounding on each side, is that window. None when neither does.
std::optional<TargetScale> scaleOf(const QRectF& reportedWindow, const ActiveWindowGeometry& device);

// A rectangle of the application's, in device pixels.
QRectF toDevice(const QRectF& reported, const TargetScale& scale);

// The index of the screen whose device-pixel area holds `point`; none when
// none does.
std::optional<std::size_t> screenHolding(const QPointF& point, const std::vector<ScreenScale>& screens);

// A device-pixel rectangle in Qt's logical pixels, mapped by the screen that
// holds its centre (by the first screen when none does).
QRectF toLogical(const QRectF& device, const std::vector<ScreenScale>& screens);

// The element's rectangles in Qt's logical pixels. `window` is the active
// window, which holds the focused element; without it, or when it is not
// the element's window, the element is taken to report device pixels.
FocusedElement inLogicalPixels(
    FocusedElement element, const std::optional<ActiveWindowGeometry>& window, const std::vector<ScreenScale>& screens);

} // namespace DevicePixels
