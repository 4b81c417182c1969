#include "shell/theme/GlassPlate.h"

#include "shell/theme/SoftShadow.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace GlassPlate {
namespace {

using namespace TallowindTheme;

std::vector<DropShadow> shadowsFor(bool reduceTransparency)
{
    return {
        reduceTransparency ? DropShadow{QColor(0, 0, 0, 128), 15.0, QPointF(0, 8)}
                           : DropShadow{QColor::fromRgbF(0, 0, 0, 0.45f), 50.0, QPointF(0, 25)},
        DropShadow{QColor::fromRgbF(0, 0, 0, 0.35f), 25.0, QPointF(0, 12)},
        DropShadow{QColor::fromRgbF(0, 0, 0, 0.2f), 8.0, QPointF(0, 3)},
    };
}

QColor neutralMaterial(ColorScheme scheme)
{
    return scheme == ColorScheme::dark ? QColor(40, 40, 44) : QColor(244, 244, 246);
}

void paintShadows(QPainter& painter, const QRectF& plate, const GlassPlateStyle& style, const QRectF& canvas)
{
    if (canvas.isEmpty() || plate.contains(canvas))
        return;
    const ShadowImage shadows =
        roundedRectShadows(plate.size(), style.cornerRadius, shadowsFor(style.reduceTransparency));
    painter.save();
    // Only what falls outside the plate: the fill is translucent and must not
    // be darkened by the shadow under it.
    QPainterPath outside;
    outside.addRect(canvas);
    painter.setClipPath(outside.subtracted(shape(plate, style.cornerRadius)), Qt::IntersectClip);
    painter.drawImage(plate.topLeft() - QPointF(shadows.origin), shadows.image);
    painter.restore();
}

} // namespace

QPainterPath shape(const QRectF& plate, double cornerRadius)
{
    QPainterPath path;
    const double radius = std::min(cornerRadius, std::min(plate.width(), plate.height()) / 2.0);
    path.addRoundedRect(plate, radius, radius);
    return path;
}

void paint(QPainter& painter, const QRectF& plate, const GlassPlateStyle& style, const QRectF& canvas)
{
    if (plate.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintShadows(painter, plate, style, canvas);

    const bool dark = style.scheme == ColorScheme::dark;
    const QPainterPath body = shape(plate, style.cornerRadius);
    if (style.reduceTransparency) {
        painter.fillPath(body, dark ? QColor::fromRgbF(0, 0, 0, 0.85f) : QColor::fromRgbF(1, 1, 1, 0.92f));
        QColor gray = Colors::systemGray();
        gray.setAlphaF(0.1f);
        painter.fillPath(body, gray);
    } else {
        QColor material = style.material.isValid() ? style.material : neutralMaterial(style.scheme);
        material.setAlphaF(style.blurBehind ? static_cast<float>(Effects::glassMaterial * 0.95) : 1.0f);
        painter.fillPath(body, material);
        QLinearGradient sheen(plate.topLeft(), plate.bottomRight());
        sheen.setColorAt(0.0, dark ? Colors::glassGradientDarkStart() : Colors::glassGradientLightStart());
        sheen.setColorAt(1.0, dark ? Colors::glassGradientDarkEnd() : Colors::glassGradientLightEnd());
        painter.fillPath(body, sheen);
    }

    // The rim: a 1-px line wholly inside the plate.
    QLinearGradient rim(plate.topLeft(), plate.bottomRight());
    rim.setColorAt(0.0, QColor::fromRgbF(1, 1, 1, style.reduceTransparency ? 0.15f : 0.25f));
    rim.setColorAt(1.0, QColor::fromRgbF(1, 1, 1, 0.05f));
    const QRectF inner = plate.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(QBrush(rim), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape(inner, std::max(0.0, style.cornerRadius - 0.5)));
    painter.restore();
}

QMarginsF shadowExtent(bool reduceTransparency)
{
    // Three sigmas of each blur plus its offset, stacked.
    double sides = 0.0;
    double bottom = 0.0;
    double top = 0.0;
    for (const DropShadow& shadow : shadowsFor(reduceTransparency)) {
        const double spread = 1.5 * shadow.blurRadius;
        sides += spread;
        bottom += spread + shadow.offset.y();
        top += std::max(0.0, spread - shadow.offset.y());
    }
    return QMarginsF(std::ceil(sides), std::ceil(top), std::ceil(sides), std::ceil(bottom));
}

} // namespace GlassPlate
