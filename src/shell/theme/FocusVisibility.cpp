#include "shell/theme/FocusVisibility.h"

#include "shell/theme/TallowindTheme.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>

namespace {

class WindowWatcher final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Only widgets' events: work posted from other threads passes this
        // filter too, and its event is not ours to read before its receiver.
        if (watched->isWidgetType() && event->type() == QEvent::Show) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow())
                widget->setAttribute(Qt::WA_KeyboardFocusChange);
        }
        return false;
    }
};

constexpr double ringWidth = 2.0;
constexpr int ringOutset = 2;

// A solid ring in the accent colour just outside `marked`, kept inside the
// control.
void paintRing(QPainter* painter, QRect marked, const QPalette& palette, const QWidget* widget)
{
    QRect area = marked.adjusted(-ringOutset, -ringOutset, ringOutset, ringOutset);
    if (widget)
        area = area.intersected(widget->rect());
    const double inset = ringWidth / 2.0;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(TallowindTheme::Colors::accentColor(palette), ringWidth));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(area).adjusted(inset, inset, -inset, -inset), 3.0, 3.0);
    painter->restore();
}

// The platform style, with its focus frame drawn as a ring. A flat push
// button, which the style marks with no frame at all, gets one too.
class FocusRingStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(
        PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override
    {
        if (element == PE_FrameFocusRect)
            paintRing(painter, option->rect, option->palette, widget);
        else
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawControl(
        ControlElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (element == CE_PushButton && button && (button->features & QStyleOptionButton::Flat)
            && (option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange))
            paintRing(painter, option->rect, option->palette, widget);
    }
};

} // namespace

void FocusVisibility::install(QApplication* application)
{
    // Over whatever style the application set before, which the ring keeps.
    QApplication::setStyle(new FocusRingStyle(QApplication::style()));
    application->installEventFilter(new WindowWatcher(application));
}
