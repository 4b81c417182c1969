#pragma once

#include "shell/indicator/DevicePixels.h"

#include <QPointF>

#include <cstddef>
#include <optional>
#include <vector>

class FrontmostApplication;
class QScreen;

// The monitor of the window the user works in: the one that holds the
// centre of the active window, or the pointer's monitor when no window is
// active. What the tool's own windows open on when nothing nearer (a field,
// the tray icon) tells where they belong.
namespace ScreenInUse {

// The index into `screens` for an active window's frame (device pixels) and
// the pointer (Qt's logical pixels); the first screen when neither is on one.
std::size_t indexFor(const std::optional<QRect>& activeFrame, const QPointF& pointer,
    const std::vector<DevicePixels::ScreenScale>& screens);

// The desktop's screen in use; the primary screen when none is known. None
// without screens.
QScreen* screen(const FrontmostApplication* frontmost);

} // namespace ScreenInUse
