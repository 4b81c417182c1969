#pragma once

#include <QRect>
#include <QString>

// Where the X server shows the window with this id (decimal or 0x hex):
// its rectangle in root coordinates, or an empty rectangle when it is not
// mapped. Asked through xwininfo rather than xdotool, whose geometry counts
// the window manager's frame offset twice.
QRect windowGeometry(const QString& windowId);
