#include "shell/theme/ViewTransition.h"

#include <QGraphicsEffect>
#include <QPainter>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <algorithm>

namespace ViewTransition {
namespace {

// Draws the widget part of the way in: 0 is gone, 1 is in place. A spring
// may carry the value past 1 for a moment; the opacity stops at 1.
class TransitionEffect final : public QGraphicsEffect {
public:
    explicit TransitionEffect(Style look) : style(look) { }

    void setProgress(double value)
    {
        progress = value;
        update();
    }

    const Style style;
    double progress = 1.0;
    bool leaving = false;
    QPixmap before; // the look a cross-fade starts from
    QPointer<QVariantAnimation> motion;

protected:
    void draw(QPainter* painter) override
    {
        QPoint offset;
        const QPixmap now = sourcePixmap(Qt::DeviceCoordinates, &offset, QGraphicsEffect::NoPad);
        if (now.isNull())
            return;
        painter->save();
        painter->setWorldTransform(QTransform());
        const QRectF area(offset, now.size());
        const double opacity = std::clamp(progress, 0.0, 1.0);
        if (!before.isNull()) {
            painter->setOpacity(1.0 - opacity);
            painter->drawPixmap(area, before, QRectF(before.rect()));
        }
        QTransform place;
        if (style == Style::scaleAndFade) {
            const double scale = std::max(progress, 0.0);
            place.translate(area.center().x(), area.center().y());
            place.scale(scale, scale);
            place.translate(-area.center().x(), -area.center().y());
        } else if (style == Style::slideFromTopAndFade) {
            place.translate(0, -(1.0 - progress) * area.height());
        }
        painter->setWorldTransform(place);
        painter->setOpacity(opacity);
        painter->drawPixmap(offset, now);
        painter->restore();
    }
};

// The widget's look on a clear ground (grab() would fill in the window
// colour behind it).
QPixmap lookOf(QWidget* widget)
{
    const qreal ratio = widget->devicePixelRatioF();
    QPixmap look(widget->size() * ratio);
    look.setDevicePixelRatio(ratio);
    look.fill(Qt::transparent);
    widget->render(&look, QPoint(), QRegion(), QWidget::DrawChildren);
    return look;
}

TransitionEffect* transitionOf(const QWidget* widget)
{
    return dynamic_cast<TransitionEffect*>(widget->graphicsEffect());
}

bool canAnimate(const QWidget* widget, const MotionCurve& curve)
{
    // Another effect of the widget's own is never replaced.
    if (widget->graphicsEffect() && !transitionOf(widget))
        return false;
    return widget->window()->isVisible() && motionMilliseconds(curve) > 0;
}

void settle(QWidget* widget)
{
    TransitionEffect* effect = transitionOf(widget);
    if (!effect)
        return;
    if (effect->motion)
        effect->motion->stop();
    const bool hide = effect->leaving;
    widget->setGraphicsEffect(nullptr);
    if (hide)
        widget->hide();
}

// Moves the effect's progress from where it is to `target` along the curve.
void run(QWidget* widget, TransitionEffect* effect, double target, const MotionCurve& curve)
{
    if (effect->motion)
        effect->motion->stop();
    const double from = effect->progress;
    QVariantAnimation* motion = makeMotion(curve, widget);
    effect->motion = motion;
    QPointer<TransitionEffect> guarded(effect);
    QObject::connect(motion, &QVariantAnimation::valueChanged, widget, [guarded, from, target](const QVariant& value) {
        if (guarded)
            guarded->setProgress(from + (target - from) * value.toDouble());
    });
    QObject::connect(motion, &QVariantAnimation::finished, widget, [widget, guarded] {
        if (guarded && transitionOf(widget) == guarded)
            settle(widget);
    });
    motion->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace

bool isPresent(const QWidget* widget)
{
    const TransitionEffect* effect = transitionOf(widget);
    return !widget->isHidden() && !(effect && effect->leaving);
}

bool isMoving(const QWidget* widget)
{
    const TransitionEffect* effect = transitionOf(widget);
    return effect && effect->motion && effect->motion->state() == QAbstractAnimation::Running;
}

void setPresent(QWidget* widget, bool present, Style style, const MotionCurve& curve)
{
    if (present == isPresent(widget))
        return;
    if (!canAnimate(widget, curve)) {
        settle(widget);
        widget->setVisible(present);
        return;
    }
    TransitionEffect* effect = transitionOf(widget);
    if (!effect || effect->style != style || !effect->before.isNull()) {
        const double start = effect ? effect->progress : (present ? 0.0 : 1.0);
        settle(widget);
        effect = new TransitionEffect(style);
        effect->setProgress(start);
        widget->setGraphicsEffect(effect);
    }
    effect->leaving = !present;
    widget->show();
    run(widget, effect, present ? 1.0 : 0.0, curve);
}

void crossfade(QWidget* widget, const std::function<void()>& change, const MotionCurve& curve)
{
    // A widget coming or going already moves as a whole.
    if (widget->isHidden() || !canAnimate(widget, curve) || transitionOf(widget)) {
        change();
        return;
    }
    const QPixmap before = lookOf(widget);
    change();
    auto* effect = new TransitionEffect(Style::fade);
    effect->before = before;
    effect->setProgress(0.0);
    widget->setGraphicsEffect(effect);
    run(widget, effect, 1.0, curve);
}

} // namespace ViewTransition
