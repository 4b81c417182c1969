#include "shell/theme/WindowShape.h"

#include "shell/theme/Appearance.h"
#include "shell/theme/GlassPlate.h"

#include <QEvent>
#include <QRegion>
#include <QWidget>

#include <functional>

namespace WindowShape {
namespace {

// Hands the window's rounded outline to `use` now and whenever the window
// is shown or resized.
class RoundedOutline : public QObject {
public:
    using Use = std::function<void(QWidget*, const QRegion&)>;

    RoundedOutline(QWidget* target, double cornerRadius, Use use)
        : QObject(target), window(target), radius(cornerRadius), apply(std::move(use))
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
        apply(window, QRegion(shape.toFillPolygon().toPolygon()));
    }

    QWidget* window;
    double radius;
    Use apply;
};

} // namespace

void apply(QWidget* window, double cornerRadius)
{
    if (!Appearance::shared().reduceTransparency()) {
        window->setAttribute(Qt::WA_TranslucentBackground);
        if (Appearance::shared().blurBehind()) {
            new RoundedOutline(window, cornerRadius, [](QWidget* shaped, const QRegion& outline) {
                Appearance::shared().requestBlurBehind(shaped, outline);
            });
        }
        return;
    }
    window->setAttribute(Qt::WA_TranslucentBackground, false);
    new RoundedOutline(window, cornerRadius, [](QWidget* shaped, const QRegion& outline) { shaped->setMask(outline); });
}

} // namespace WindowShape
