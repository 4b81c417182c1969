#pragma once

#include "shell/theme/Appearance.h"
#include "shell/theme/TallowindTheme.h"

#include <QColor>
#include <QMarginsF>
#include <QPainterPath>
#include <QRectF>

class QPainter;

// How a glass plate looks: its corners, the scheme, the solid variant used
// when transparency is reduced, and whether what lies behind is blurred.
struct GlassPlateStyle {
    double cornerRadius = TallowindTheme::Window::cornerRadius;
    ColorScheme scheme = ColorScheme::light;
    bool reduceTransparency = false;
    // The base of the translucent fill; the scheme's own neutral when invalid.
    QColor material;
    // Unblurred, the glass fill is opaque: what lies behind would otherwise
    // run through the plate's text.
    bool blurBehind = true;
};

// The rounded plate laid behind popovers, the welcome window and the
// recording indicator: translucent where the compositor blurs behind it,
// opaque elsewhere.
namespace GlassPlate {

QPainterPath shape(const QRectF& plate, double cornerRadius);
// Paints the plate into `plate`, and the part of its shadows that falls
// inside `canvas` outside the plate (nothing when `canvas` is empty).
void paint(QPainter& painter, const QRectF& plate, const GlassPlateStyle& style, const QRectF& canvas = QRectF());
// How far the shadows reach beyond the plate on each side, for hosts that
// want to leave room for them.
QMarginsF shadowExtent(bool reduceTransparency);

} // namespace GlassPlate
