#pragma once

#include <QRectF>

class QPainter;
class QPalette;

// The ring our hand-painted controls draw while they have the keyboard
// focus: rounded, inside `rect`, in the palette's accent colour.
class QWidget;

namespace FocusRing {
void paint(QPainter& painter, const QRectF& rect, double radius, const QPalette& palette);
// Whether `widget` shows its ring now: it has the focus and the focus last
// moved by keyboard, as the platform style decides for its own controls.
bool wanted(const QWidget* widget);
} // namespace FocusRing
