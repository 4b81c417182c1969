#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

// Where the X server shows the window with this id (decimal or 0x hex):
// its rectangle in root coordinates, or an empty rectangle when it is not
// mapped. Asked through xwininfo rather than xdotool, whose geometry counts
// the window manager's frame offset twice.
QRect windowGeometry(const QString& windowId);

// Where the shown windows an xdotool search (such as {"--name", "^Settings$"})
// finds are; unmapped windows are left out.
QList<QRect> shownWindows(const QStringList& search);

// The id of the first shown window an xdotool search finds; empty when none
// is shown.
QString shownWindowId(const QStringList& search);

// Whether a mask (a shape of its own) cuts the rectangle of this window,
// which must exist.
bool windowMasked(const QString& windowId);

// Whether a window of exactly this title is shown at more than icon size.
bool panelShown(const QString& title);
