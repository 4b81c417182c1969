#include "shell/theme/GlassmorphismView.h"

#include "shell/theme/BackgroundLayer.h"

#include <QPainter>

GlassmorphismView::GlassmorphismView(double cornerRadius, QWidget* parent) : QWidget(parent), radius(cornerRadius)
{
    setAttribute(Qt::WA_TranslucentBackground);
    connect(&Appearance::shared(), &Appearance::reduceTransparencyChanged, this, [this] { update(); });
    connect(&Appearance::shared(), &Appearance::blurBehindChanged, this, [this] { update(); });
}

void GlassmorphismView::setCornerRadius(double value)
{
    radius = value;
    update();
    emit cornerRadiusChanged(value);
}

GlassPlateStyle GlassmorphismView::plateStyle() const
{
    return GlassPlateStyle{radius, colorSchemeOf(palette()), Appearance::shared().reduceTransparency(),
        palette().color(QPalette::Window), Appearance::shared().blurBehind()};
}

void GlassmorphismView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    GlassPlate::paint(painter, QRectF(contentsRect()), plateStyle(), QRectF(rect()));
}

GlassmorphismView* glassBackground(QWidget* view, double cornerRadius)
{
    auto* plate = new GlassmorphismView(cornerRadius);
    attachBehind(plate, view);
    return plate;
}
