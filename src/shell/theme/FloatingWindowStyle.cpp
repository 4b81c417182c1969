#include "shell/theme/FloatingWindowStyle.h"

#include "shell/theme/Appearance.h"
#include "shell/theme/BackgroundLayer.h"
#include "shell/theme/GlassPlate.h"
#include "shell/theme/SoftShadow.h"

#include <QLinearGradient>
#include <QPainter>

using namespace TallowindTheme;

FloatingWindowBackground::FloatingWindowBackground(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&Appearance::shared(), &Appearance::reduceTransparencyChanged, this, [this] { update(); });
    connect(&Appearance::shared(), &Appearance::blurBehindChanged, this, [this] { update(); });
}

double FloatingWindowBackground::controlTintOpacity() const
{
    return colorSchemeOf(palette()) == ColorScheme::dark ? 0.2 : 0.4;
}

double FloatingWindowBackground::sheenOpacity() const
{
    return colorSchemeOf(palette()) == ColorScheme::dark ? 0.1 : 0.15;
}

void FloatingWindowBackground::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body(contentsRect());
    if (body.isEmpty())
        return;
    const QPainterPath shape = GlassPlate::shape(body, FloatingWindowStyle::cornerRadius);

    if (!QRectF(body).contains(QRectF(rect()))) {
        const ShadowImage shadows = roundedRectShadows(body.size(), FloatingWindowStyle::cornerRadius,
            {DropShadow{QColor::fromRgbF(0, 0, 0, 0.3f), 12.0, QPointF(0, 6)},
                DropShadow{QColor::fromRgbF(0, 0, 0, 0.15f), 4.0, QPointF(0, 2)}});
        QPainterPath outside;
        outside.addRect(QRectF(rect()));
        painter.save();
        painter.setClipPath(outside.subtracted(shape));
        painter.drawImage(body.topLeft() - QPointF(shadows.origin), shadows.image);
        painter.restore();
    }

    painter.setClipPath(shape);
    VisualEffectView::paintMaterial(
        painter, body, VisualEffectView::Material::hudWindow, palette(), Appearance::shared().opaqueMaterial());
    QColor control = Colors::controlBackground(palette());
    control.setAlphaF(static_cast<float>(controlTintOpacity()));
    painter.fillRect(body, control);
    QLinearGradient sheen(body.topLeft(), body.bottomRight());
    sheen.setColorAt(0.0, QColor::fromRgbF(1, 1, 1, static_cast<float>(sheenOpacity())));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(body, sheen);
}

namespace FloatingWindowStyle {
FloatingWindowBackground* apply(QWidget* view)
{
    auto* background = new FloatingWindowBackground;
    attachBehind(background, view);
    return background;
}
} // namespace FloatingWindowStyle
