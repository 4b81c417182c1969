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
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow())
                widget->setAttribute(Qt::WA_KeyboardFocusChange);
        }
        return false;
    }
};

constexpr double ringWidth = 2.0;
constexpr int ringOutset = 2;

// The platform style, with its focus frame drawn as a solid ring just
// outside the area the style marks, kept inside the control.
class FocusRingStyle final : public QProxyStyle {
public:
    void drawPrimitive(
        PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override
    {
        if (element != PE_FrameFocusRect) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        QRect area = option->rect.adjusted(-ringOutset, -ringOutset, ringOutset, ringOutset);
        if (widget)
            area = area.intersected(widget->rect());
        const double inset = ringWidth / 2.0;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(TallowindTheme::Colors::accentColor(option->palette), ringWidth));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(area).adjusted(inset, inset, -inset, -inset), 3.0, 3.0);
        painter->restore();
    }
};

} // namespace

void FocusVisibility::install(QApplication* application)
{
    QApplication::setStyle(new FocusRingStyle);
    application->installEventFilter(new WindowWatcher(application));
}
