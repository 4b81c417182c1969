#pragma once

#include "shell/theme/MotionTransaction.h"

#include <functional>

class QWidget;

// Widgets that come and go inside a layout, and widgets whose look changes
// at once, animated by a graphics effect that lives only while the motion
// runs. Without a shown window, or along a curve of no length (Motion's
// scale 0), every change is immediate. Main thread only.
namespace ViewTransition {

enum class Style {
    fade,
    // grows from its centre while it fades in; shrinks back on the way out
    scaleAndFade,
    // moves down from behind its top edge while it fades in; back up on the way out
    slideFromTopAndFade,
};

// Shows or hides the widget. A widget on its way out stays shown (and keeps
// its place) until it is gone; asked back meanwhile, it turns around from
// where it is.
void setPresent(QWidget* widget, bool present, Style style, const MotionCurve& curve);
// Shown and not on its way out.
bool isPresent(const QWidget* widget);
// Whether a motion of the widget runs.
bool isMoving(const QWidget* widget);

// Makes the change, then fades from the widget's look before it to the
// look after it.
void crossfade(QWidget* widget, const std::function<void()>& change, const MotionCurve& curve);

} // namespace ViewTransition
