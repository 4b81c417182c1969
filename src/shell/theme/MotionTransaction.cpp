#include "shell/theme/MotionTransaction.h"

#include "shell/theme/Motion.h"
#include "shell/theme/SpringAnimation.h"

#include <QVariantAnimation>

namespace {
thread_local std::optional<MotionCurve> active;
}

QVariantAnimation* makeMotion(const MotionCurve& curve, QObject* parent)
{
    QVariantAnimation* animation = nullptr;
    if (const auto* spring = std::get_if<TallowindTheme::SpringParameters>(&curve)) {
        animation = new SpringAnimation(SpringEasing(*spring), parent);
    } else {
        const auto& timing = std::get<TallowindTheme::TimingCurve>(curve);
        animation = new QVariantAnimation(parent);
        animation->setEasingCurve(timing.curve);
        animation->setDuration(Motion::milliseconds(timing.seconds));
    }
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    return animation;
}

int motionMilliseconds(const MotionCurve& curve)
{
    if (const auto* spring = std::get_if<TallowindTheme::SpringParameters>(&curve))
        return Motion::milliseconds(SpringEasing(*spring).settlingSeconds());
    return Motion::milliseconds(std::get<TallowindTheme::TimingCurve>(curve).seconds);
}

MotionTransaction::MotionTransaction(const MotionCurve& curve) : outer(active)
{
    active = curve;
}

MotionTransaction::~MotionTransaction()
{
    active = outer;
}

std::optional<MotionCurve> MotionTransaction::current()
{
    return active;
}
