#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

// Where the popover panel opens. Top-left screen coordinates throughout.
namespace PopoverPlacement {

inline constexpr int gapBelowIcon = 5;

struct ScreenArea {
    QRect geometry;
    // Without the desktop's panels and docks.
    QRect available;
};

// The saved origin when a panel of `size` there meets a connected screen;
// otherwise centred under the tray icon `anchor`, its top edge 5 pixels
// below the icon (above the icon, 5 pixels clear, when the panel would not
// fit below it), clamped to the available area of the icon's screen.
QPoint originFor(QSize size, QRect anchor, std::optional<QPoint> saved, const std::vector<ScreenArea>& screens);

// The connected screens, the primary one first.
std::vector<ScreenArea> desktopScreens();

} // namespace PopoverPlacement
