#include "shell/theme/WindowShape.h"

#include "shell/theme/Appearance.h"
#include "shell/theme/GlassPlate.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QWidget>

namespace WindowShape {
namespace {

// The window keeps its alpha channel throughout: Qt picks a window's visual
// only when it creates the native window, and a compositing manager may
// start or stop at any time. Without one the server shows that alpha as
// black, so the corners are masked off and the window is painted opaque
// under its children, as Qt paints an opaque window.
class RoundedShape : public QObject {
public:
    RoundedShape(QWidget* target, double cornerRadius) : QObject(target), window(target), radius(cornerRadius)
    {
        window->setAttribute(Qt::WA_TranslucentBackground);
        window->installEventFilter(this);
        connect(&Appearance::shared(), &Appearance::reduceTransparencyChanged, this, [this] {
            sync();
            window->update();
        });
        sync();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window) {
            if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
                sync();
            else if (event->type() == QEvent::Paint && masked())
                paintOpaqueGround(static_cast<QPaintEvent*>(event)->rect());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static bool masked() { return Appearance::shared().reduceTransparency(); }

    void sync()
    {
        if (!masked()) {
            window->clearMask();
            return;
        }
        const QPainterPath shape = GlassPlate::shape(QRectF(window->rect()), radius);
        window->setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }

    void paintOpaqueGround(const QRect& area)
    {
        QPainter painter(window);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(area, window->palette().brush(window->backgroundRole()));
    }

    QWidget* window;
    double radius;
};

} // namespace

void apply(QWidget* window, double cornerRadius)
{
    new RoundedShape(window, cornerRadius);
}

} // namespace WindowShape
