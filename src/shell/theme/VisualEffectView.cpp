#include "shell/theme/VisualEffectView.h"

#include "shell/theme/Appearance.h"

#include <QEvent>
#include <QPainter>

namespace {

struct Tint {
    QPalette::ColorRole role;
    // Pulled towards black (positive) or white (negative), 0..1.
    double shade;
    double opacity;
};

Tint tintOf(VisualEffectView::Material material)
{
    using M = VisualEffectView::Material;
    switch (material) {
    case M::titlebar:
        return {QPalette::Window, 0.02, 0.90};
    case M::selection:
        return {QPalette::Highlight, 0.0, 0.60};
    case M::menu:
        return {QPalette::Window, 0.0, 0.92};
    case M::popover:
        return {QPalette::Window, 0.0, 0.88};
    case M::sidebar:
        return {QPalette::Window, 0.04, 0.85};
    case M::headerView:
        return {QPalette::Window, 0.02, 0.92};
    case M::sheet:
        return {QPalette::Window, 0.0, 0.95};
    case M::windowBackground:
        return {QPalette::Window, 0.0, 1.0};
    case M::hudWindow:
        return {QPalette::Window, 0.0, 0.82};
    case M::fullScreenUI:
        return {QPalette::Window, 0.0, 0.90};
    case M::toolTip:
        return {QPalette::ToolTipBase, 0.0, 0.95};
    case M::contentBackground:
        return {QPalette::Base, 0.0, 0.95};
    case M::underWindowBackground:
        return {QPalette::Window, 0.06, 0.80};
    case M::underPageBackground:
        return {QPalette::Window, 0.10, 0.90};
    }
    return {QPalette::Window, 0.0, 0.9};
}

QColor shaded(const QColor& colour, double shade)
{
    const float keep = static_cast<float>(1.0 - shade);
    return QColor::fromRgbF(colour.redF() * keep, colour.greenF() * keep, colour.blueF() * keep, 1.0f);
}

} // namespace

VisualEffectView::VisualEffectView(Material material, BlendingMode blendingMode, QWidget* parent)
    : QWidget(parent), currentMaterial(material), currentBlending(blendingMode)
{
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&Appearance::shared(), &Appearance::reduceTransparencyChanged, this, [this] { update(); });
    connect(&Appearance::shared(), &Appearance::blurBehindChanged, this, [this] { update(); });
}

void VisualEffectView::setMaterial(Material value)
{
    currentMaterial = value;
    update();
    emit materialChanged(value);
}

void VisualEffectView::setBlendingMode(BlendingMode value)
{
    currentBlending = value;
    update();
    emit blendingModeChanged(value);
}

void VisualEffectView::setState(State value)
{
    currentState = value;
    update();
    emit stateChanged(value);
}

void VisualEffectView::updateEffect(Material material, BlendingMode blendingMode)
{
    setMaterial(material);
    setBlendingMode(blendingMode);
}

void VisualEffectView::paintMaterial(
    QPainter& painter, const QRectF& rect, Material material, const QPalette& palette, bool opaque, bool windowActive)
{
    Tint tint = tintOf(material);
    // The heads-up material is a shade darker than the window in either scheme.
    if (material == VisualEffectView::Material::hudWindow)
        tint.shade = colorSchemeOf(palette) == ColorScheme::dark ? 0.35 : 0.12;
    QColor colour = shaded(palette.color(QPalette::Active, tint.role), tint.shade);
    double opacity = opaque ? 1.0 : tint.opacity;
    // An inactive effect shows the plain window colour instead.
    if (!windowActive)
        colour = palette.color(QPalette::Inactive, QPalette::Window);
    colour.setAlphaF(static_cast<float>(opacity));
    painter.fillRect(rect, colour);
}

void VisualEffectView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool active =
        currentState == State::active || (currentState == State::followsWindowActiveState && isActiveWindow());
    paintMaterial(painter, QRectF(rect()), currentMaterial, palette(), Appearance::shared().opaqueMaterial(), active);
}

void VisualEffectView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange)
        update();
    QWidget::changeEvent(event);
}
