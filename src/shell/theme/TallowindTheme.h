#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>

// The design tokens shared by every view. Lengths are in device-independent
// pixels; durations in seconds.
namespace TallowindTheme {

// Fonts: the application's family stands in for a rounded design, so every
// token is the application font at a fixed pixel size and weight.
namespace Typography {
QFont largeTitle(); // 24, semibold
QFont title(); // 18, semibold
QFont headline(); // 14, semibold
QFont body(); // 14, regular
QFont callout(); // 13, medium
QFont caption(); // 12, regular
QFont captionBold(); // 12, bold
QFont badge(); // 10, medium
} // namespace Typography

// Colours. The palette-dependent ones read the given palette (the
// application's by default) so a widget passes its own. Every colour that
// text is drawn in keeps its hue but takes the lightness that reaches
// Contrast::textRatio on the background it is drawn on, in light and dark.
namespace Colors {
QColor glassBackground();
QColor glassOverlay();
QColor glassHighlight();
QColor glassShadow();
QColor glassRimLight();
QColor glassGradientLightStart();
QColor glassGradientLightEnd();
QColor glassGradientDarkStart();
QColor glassGradientDarkEnd();
QColor textPrimary(const QPalette& palette = QGuiApplication::palette());
QColor textSecondary(const QPalette& palette = QGuiApplication::palette());
QColor textTertiary(const QPalette& palette = QGuiApplication::palette());
// The hint in an empty text field, on the field's own colour.
QColor placeholderText(const QPalette& palette = QGuiApplication::palette());
QColor highContrastText();
QColor highContrastBackground();
QColor accentColor(const QPalette& palette = QGuiApplication::palette());
QColor accentFill(const QPalette& palette = QGuiApplication::palette());
QColor controlBackground(const QPalette& palette = QGuiApplication::palette());
// Named colours of our own where other desktops have system colours.
QColor successColor();
QColor warningColor();
QColor destructiveColor(const QPalette& palette = QGuiApplication::palette());
QColor cautionColor();
QColor systemGray();
} // namespace Colors

namespace Spacing {
inline constexpr double xxSmall = 4.0;
inline constexpr double xSmall = 8.0;
inline constexpr double small = 12.0;
inline constexpr double medium = 16.0;
inline constexpr double large = 24.0;
inline constexpr double xLarge = 32.0;
inline constexpr double xxLarge = 48.0;
} // namespace Spacing

namespace Radius {
inline constexpr double small = 8.0;
inline constexpr double medium = 12.0;
inline constexpr double large = 16.0;
inline constexpr double xLarge = 24.0;
inline constexpr double xxLarge = 32.0;
} // namespace Radius

// A timed curve: what an animation token stands for.
struct TimingCurve {
    QEasingCurve curve;
    double seconds = 0.0;
};

// A damped spring, described the way designers give it: the period of the
// undamped oscillation (response) and the fraction of critical damping.
struct SpringParameters {
    double response = 0.3;
    double dampingFraction = 0.8;
};

namespace Animation {
inline constexpr double defaultDuration = 0.2;
inline constexpr double springResponse = 0.3;
inline constexpr double springDamping = 0.8;
inline constexpr double hoverScale = 1.05;
inline constexpr double tapScale = 0.95;
inline constexpr SpringParameters defaultSpring{0.3, 0.8};
// Cubic ease-in-out (control points 0.42,0 and 0.58,1) over 0.2 s.
TimingCurve easeInOut();
} // namespace Animation

namespace Effects {
// The thin translucent material, which has no blur here: the opacity of
// the window-coloured fill that stands in for it.
inline constexpr double glassMaterial = 0.84;
inline constexpr double shadowRadius = 20.0;
inline constexpr double shadowY = 10.0;
inline constexpr double blurRadius = 10.0;
} // namespace Effects

namespace Window {
inline constexpr double cornerRadius = Radius::medium;
inline constexpr double width = 600.0;
inline constexpr double height = 340.0;
inline constexpr double popoverWidth = 380.0;
inline constexpr double popoverHeight = 240.0;
} // namespace Window

} // namespace TallowindTheme
