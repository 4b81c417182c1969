#include "shell/theme/SpringAnimation.h"

#include "shell/theme/Motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

SpringEasing::SpringEasing(TallowindTheme::SpringParameters parameters)
    : angularFrequency(2.0 * std::numbers::pi / std::max(parameters.response, 1e-3)),
      dampingRatio(std::max(parameters.dampingFraction, 0.0))
{
}

SpringEasing::SpringEasing(double mass, double stiffness, double damping, double velocity)
    : angularFrequency(std::sqrt(std::max(stiffness, 1e-9) / std::max(mass, 1e-9))),
      dampingRatio(std::max(damping, 0.0) / (2.0 * std::sqrt(std::max(stiffness * mass, 1e-18)))),
      initialVelocity(velocity)
{
}

double SpringEasing::valueAt(double t) const
{
    if (t <= 0.0)
        return 0.0;
    // Displacement from rest x(t), starting at x(0) = -1 with x'(0) = v0;
    // the value is 1 + x(t).
    const double w = angularFrequency;
    const double z = dampingRatio;
    const double v0 = initialVelocity;
    double x = 0.0;
    if (z < 1.0) {
        const double wd = w * std::sqrt(1.0 - z * z);
        const double b = (v0 - z * w) / wd; // x0 = -1
        x = std::exp(-z * w * t) * (-std::cos(wd * t) + b * std::sin(wd * t));
    } else if (z == 1.0) {
        x = std::exp(-w * t) * (-1.0 + (v0 - w) * t);
    } else {
        const double s = w * std::sqrt(z * z - 1.0);
        const double r1 = -z * w + s;
        const double r2 = -z * w - s;
        const double c2 = (v0 + r1) / (r2 - r1); // c1 + c2 = -1, r1 c1 + r2 c2 = v0
        const double c1 = -1.0 - c2;
        x = c1 * std::exp(r1 * t) + c2 * std::exp(r2 * t);
    }
    return 1.0 + x;
}

double SpringEasing::settlingSeconds() const
{
    // The envelope decays with the slower of the two rates; sample forward
    // from its estimate until the motion stays settled.
    const double w = angularFrequency;
    const double z = dampingRatio;
    const double rate = z < 1.0 ? z * w : w * (z - std::sqrt(z * z - 1.0));
    double estimate = rate > 0.0 ? std::log(1000.0) / rate : 10.0;
    estimate = std::clamp(estimate, 0.05, 10.0);
    double last = estimate;
    for (double t = estimate * 2.0; t >= 0.0; t -= 0.005) {
        if (std::abs(valueAt(t) - 1.0) > 1e-3)
            break;
        last = t;
    }
    return last;
}

SpringAnimation::SpringAnimation(const SpringEasing& spring, QObject* parent)
    : QVariantAnimation(parent), easing(spring), seconds(spring.settlingSeconds())
{
    setEasingCurve(QEasingCurve::Linear);
    setDuration(Motion::milliseconds(seconds));
}

QVariant SpringAnimation::interpolated(const QVariant& from, const QVariant& to, qreal progress) const
{
    if (progress >= 1.0)
        return to;
    return QVariantAnimation::interpolated(from, to, easing.valueAt(progress * seconds));
}
