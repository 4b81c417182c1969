#pragma once

#include <QRectF>

class QPainter;
class QPalette;

// The ring our hand-painted controls draw while they have the keyboard
// focus: rounded, inside `rect`, in the palette's accent colour.
namespace FocusRing {
void paint(QPainter& painter, const QRectF& rect, double radius, const QPalette& palette);
}
