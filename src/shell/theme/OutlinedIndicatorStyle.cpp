#include "shell/theme/OutlinedIndicatorStyle.h"

#include "shell/theme/Contrast.h"
#include "shell/theme/TallowindTheme.h"

#include <QPainter>
#include <QStyleOption>
#include <QWidget>

namespace {

// What user-interface parts need against their surroundings.
constexpr double outlineRatio = 3.0;

} // namespace

void OutlinedIndicatorStyle::drawPrimitive(
    PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    const bool box = element == PE_IndicatorCheckBox;
    if (!box && element != PE_IndicatorRadioButton)
        return;
    const QColor window = option->palette.color(QPalette::Window);
    const QColor outline =
        Contrast::reaching(TallowindTheme::Colors::textSecondary(option->palette), window, outlineRatio);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(outline, 1.0));
    painter->setBrush(Qt::NoBrush);
    const QRectF frame = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
    if (box)
        painter->drawRoundedRect(frame, 2.0, 2.0);
    else
        painter->drawEllipse(frame);
    painter->restore();
}
