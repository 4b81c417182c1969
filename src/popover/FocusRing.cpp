#include "popover/FocusRing.h"

#include "shell/theme/TallowindTheme.h"

#include <QPainter>
#include <QWidget>

namespace FocusRing {

void paint(QPainter& painter, const QRectF& rect, double radius, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(TallowindTheme::Colors::accentColor(palette), 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}

bool wanted(const QWidget* widget)
{
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

} // namespace FocusRing
