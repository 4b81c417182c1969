#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// The tray icons, drawn here rather than taken from a theme so they look the
// same on every desktop. Known names: "mic.circle" (idle),
// "mic.circle.fill" (recording) and "mic.badge.ellipsis" (transcribing);
// any other name draws the idle icon.
namespace StatusIconArt {

QIcon icon(const QString& symbolName, const QColor& colour = QColor());

} // namespace StatusIconArt
