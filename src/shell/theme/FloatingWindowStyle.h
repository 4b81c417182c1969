#pragma once

#include "shell/theme/TallowindTheme.h"
#include "shell/theme/VisualEffectView.h"

#include <QWidget>

// The dress of a floating panel: a heads-up backdrop, a control-background
// tint and a white sheen, in a 12-px rounded shape with two soft shadows
// below it. Paints in its content rectangle; the shadows fall in its margins.
class FloatingWindowBackground : public QWidget {
    Q_OBJECT
public:
    explicit FloatingWindowBackground(QWidget* parent = nullptr);

    // The layers' opacities for the widget's scheme.
    double controlTintOpacity() const;
    double sheenOpacity() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

namespace FloatingWindowStyle {
inline constexpr double cornerRadius = TallowindTheme::Window::cornerRadius;
// Lays the floating-window dress behind `view`; owned by `view`.
FloatingWindowBackground* apply(QWidget* view);
} // namespace FloatingWindowStyle

inline FloatingWindowBackground* floatingWindowStyle(QWidget* view)
{
    return FloatingWindowStyle::apply(view);
}
