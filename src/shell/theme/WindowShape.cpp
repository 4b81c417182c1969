#include "shell/theme/WindowShape.h"

#include "shell/theme/Appearance.h"
#include "shell/theme/GlassPlate.h"

#include <QEvent>
#include <QRegion>
#include <QWidget>

namespace WindowShape {
namespace {

class RoundedMask : public QObject {
public:
    RoundedMask(QWidget* target, double cornerRadius) : QObject(target), window(target), radius(cornerRadius)
    {
        window->installEventFilter(this);
        sync();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
            sync();
        return QObject::eventFilter(watched, event);
    }

private:
    void sync()
    {
        const QPainterPath shape = GlassPlate::shape(QRectF(window->rect()), radius);
        window->setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }

    QWidget* window;
    double radius;
};

} // namespace

void apply(QWidget* window, double cornerRadius)
{
    if (!Appearance::shared().reduceTransparency()) {
        window->setAttribute(Qt::WA_TranslucentBackground);
        return;
    }
    window->setAttribute(Qt::WA_TranslucentBackground, false);
    new RoundedMask(window, cornerRadius);
}

} // namespace WindowShape
