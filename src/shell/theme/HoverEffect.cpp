#include "shell/theme/HoverEffect.h"

#include "base/Published.h"
#include "shell/theme/Motion.h"

#include <QEvent>
#include <QVariantAnimation>
#include <QWidget>

HoverEffectModifier::HoverEffectModifier(QWidget* targetWidget, double scale)
    : QObject(targetWidget), target(targetWidget), hoverScale(scale), animation(new QVariantAnimation(this))
{
    target->setAttribute(Qt::WA_Hover);
    target->installEventFilter(this);
    connect(animation, &QVariantAnimation::valueChanged, this,
        [this](const QVariant& value) { setCurrentScale(value.toDouble()); });
}

void HoverEffectModifier::setHovered(bool value)
{
    const bool changed = value != hovered;
    hovered = value;
    emit hoveredChanged(value);
    if (!changed)
        return;
    const TallowindTheme::TimingCurve timing = TallowindTheme::Animation::easeInOut();
    animation->stop();
    animation->setEasingCurve(timing.curve);
    animation->setDuration(Motion::milliseconds(timing.seconds));
    animation->setStartValue(current);
    animation->setEndValue(value ? hoverScale : 1.0);
    if (animation->duration() == 0) {
        setCurrentScale(value ? hoverScale : 1.0);
        return;
    }
    animation->start();
}

void HoverEffectModifier::setCurrentScale(double value)
{
    publish(this, current, value, &HoverEffectModifier::currentScaleChanged);
}

bool HoverEffectModifier::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == target) {
        if (event->type() == QEvent::HoverEnter || event->type() == QEvent::Enter)
            setHovered(true);
        else if (event->type() == QEvent::HoverLeave || event->type() == QEvent::Leave || event->type() == QEvent::Hide)
            setHovered(false);
    }
    return QObject::eventFilter(watched, event);
}

HoverEffectModifier* hoverEffect(QWidget* view, double scale)
{
    return new HoverEffectModifier(view, scale);
}
