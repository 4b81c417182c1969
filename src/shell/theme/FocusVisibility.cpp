#include "shell/theme/FocusVisibility.h"

#include <QEvent>
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

} // namespace

void FocusVisibility::install(QObject* application)
{
    application->installEventFilter(new WindowWatcher(application));
}
