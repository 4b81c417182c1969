#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include <optional>

// The tray icons, drawn here rather than taken from a theme so they look the
// same on every desktop. Known names: "mic.circle" (idle),
// "mic.circle.fill" (recording) and "mic.badge.ellipsis" (transcribing);
// any other name draws the idle icon. On a panel of known colour the glyph
// is plain, dark or light, whichever stands out on it; on an unknown panel
// it is dark with a light outline, which reads on either.
namespace StatusIconArt {

QIcon icon(const QString& symbolName, const std::optional<QColor>& panel = std::nullopt);
// Equal for two calls of icon() that draw the same picture.
QString look(const QString& symbolName, const std::optional<QColor>& panel = std::nullopt);

} // namespace StatusIconArt
