#pragma once

#include <QPointF>
#include <QSizeF>

// How far a view moves for a parallax offset: the offset times the
// intensity, in pixels (positive height moves down).
QPointF parallaxEffect(const QSizeF& offset, double intensity = 10.0);
