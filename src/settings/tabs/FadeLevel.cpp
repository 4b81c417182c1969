#include "settings/tabs/FadeLevel.h"

#include "shell/theme/Motion.h"

FadeLevel::FadeLevel(QWidget* owner, bool initiallyOn)
    : widget(owner), animation(new QVariantAnimation(owner)), target(initiallyOn), current(initiallyOn ? 1.0 : 0.0)
{
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(animation, &QVariantAnimation::valueChanged, owner, [this](const QVariant& value) {
        current = value.toDouble();
        widget->update();
    });
}

void FadeLevel::setOn(bool on)
{
    if (on == target)
        return;
    target = on;
    animation->stop();
    const int duration = Motion::milliseconds(0.15);
    if (duration <= 0) {
        current = on ? 1.0 : 0.0;
        widget->update();
        return;
    }
    animation->setDuration(duration);
    animation->setStartValue(current);
    animation->setEndValue(on ? 1.0 : 0.0);
    animation->start();
}
