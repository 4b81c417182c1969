#pragma once

#include "shell/theme/TallowindTheme.h"

#include <QVariantAnimation>

// The motion of a damped spring released from rest at 0 towards 1, over
// time in seconds. Underdamped springs overshoot 1 before they settle.
class SpringEasing {
public:
    // Response (undamped period, s) and damping fraction.
    explicit SpringEasing(TallowindTheme::SpringParameters parameters);
    // Mass, stiffness and damping coefficient, with an initial velocity in
    // units of the distance per second.
    SpringEasing(double mass, double stiffness, double damping, double initialVelocity = 0.0);

    double valueAt(double seconds) const;
    // When the motion stays within a thousandth of the distance from rest.
    double settlingSeconds() const;

private:
    double angularFrequency = 0.0; // undamped, rad/s
    double dampingRatio = 0.0;
    double initialVelocity = 0.0;
};

// A property or value animation that follows a spring instead of an easing
// curve. Its length is the spring's settling time after Motion's scale.
class SpringAnimation : public QVariantAnimation {
    Q_OBJECT
public:
    explicit SpringAnimation(const SpringEasing& spring, QObject* parent = nullptr);

    const SpringEasing& spring() const { return easing; }

protected:
    QVariant interpolated(const QVariant& from, const QVariant& to, qreal progress) const override;

private:
    SpringEasing easing;
    double seconds = 0.0;
};
