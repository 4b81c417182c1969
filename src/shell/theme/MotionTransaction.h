#pragma once

#include "shell/theme/TallowindTheme.h"

#include <optional>
#include <variant>

class QObject;
class QVariantAnimation;

// How a change moves: along a timed curve or as a spring.
using MotionCurve = std::variant<TallowindTheme::TimingCurve, TallowindTheme::SpringParameters>;

// A stopped animation of a value from 0 to 1 along the curve, its length
// after Motion's scale.
QVariantAnimation* makeMotion(const MotionCurve& curve, QObject* parent = nullptr);
// The curve's length in milliseconds after Motion's scale; 0 means the
// change jumps to its end.
int motionMilliseconds(const MotionCurve& curve);

// While one is alive, the views animate the changes made on this thread
// along its curve, as changes made inside an animation block; the innermost
// one counts. Views without a current transaction use a curve of their own.
class MotionTransaction {
public:
    explicit MotionTransaction(const MotionCurve& curve);
    ~MotionTransaction();
    MotionTransaction(const MotionTransaction&) = delete;
    MotionTransaction& operator=(const MotionTransaction&) = delete;

    static std::optional<MotionCurve> current();
    static MotionCurve currentOr(const MotionCurve& fallback) { return current().value_or(fallback); }

private:
    std::optional<MotionCurve> outer;
};
