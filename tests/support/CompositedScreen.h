#pragma once

#include <QImage>
#include <QRect>

// What the screen shows while a compositing manager runs: `area` of the
// composite overlay window it paints into, in root coordinates. The root
// and the windows keep their own, uncomposited pixels, so a grab of those
// never shows one window through another. A null image without a display.
QImage compositedScreen(const QRect& area);

// What the screen shows, with or without a compositing manager: the overlay
// above while one owns the screen's compositing selection, the root
// window's pixels otherwise (asking for the overlay would put it up).
QImage shownScreen(const QRect& area);
