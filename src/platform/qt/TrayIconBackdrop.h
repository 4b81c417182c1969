#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

#include <optional>

// What the tray paints behind our icon. A tray may draw frame lines or a
// hover ring right around its icons; what the glyph is seen on is what shows
// through the icon's own transparent pixels.
namespace TrayIconBackdrop {

// `panel`: a picture of the tray, in which the icon takes `icon`.
// `painted`: the icon as the tray paints it into that square, at its size in
// pixels. Nothing when too little of the square lies clear of the glyph.
std::optional<QColor> colourBehind(const QImage& panel, const QRect& icon, const QImage& painted);

} // namespace TrayIconBackdrop
