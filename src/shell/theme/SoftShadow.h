#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPointF>

#include <vector>

// One drop shadow: colour with its opacity, blur radius and offset (y down).
struct DropShadow {
    QColor colour;
    double blurRadius = 0.0;
    QPointF offset;
};

// Renders the shadows of a shape onto an image: each shadow is cast by the
// shape together with the shadows before it, the way stacked shadows on one
// layer build up. `origin` is where the shape's (0,0) lies in the returned
// image.
struct ShadowImage {
    QImage image;
    QPoint origin;
};
ShadowImage renderStackedShadows(const QPainterPath& shape, const std::vector<DropShadow>& shadows);
// The same for a rounded rectangle at (0,0), kept for reuse: blurring is
// costly and a window rarely changes size.
ShadowImage roundedRectShadows(const QSizeF& size, double cornerRadius, const std::vector<DropShadow>& shadows);

// Gaussian-like blur of an 8-bit alpha image in place (three box passes
// each way); sigma in pixels.
void blurAlpha(QImage& alpha, double sigma);
