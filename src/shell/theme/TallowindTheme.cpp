#include "shell/theme/TallowindTheme.h"

#include "shell/theme/Contrast.h"

#include <QApplication>

namespace TallowindTheme {
namespace {

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont result = QApplication::font();
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    return result;
}

QColor white(double opacity)
{
    return QColor::fromRgbF(1.0f, 1.0f, 1.0f, static_cast<float>(opacity));
}

QColor black(double opacity)
{
    return QColor::fromRgbF(0.0f, 0.0f, 0.0f, static_cast<float>(opacity));
}

QColor grey(double level, double opacity)
{
    const auto l = static_cast<float>(level);
    return QColor::fromRgbF(l, l, l, static_cast<float>(opacity));
}

} // namespace

namespace Typography {
QFont largeTitle()
{
    return font(24, QFont::DemiBold);
}
QFont title()
{
    return font(18, QFont::DemiBold);
}
QFont headline()
{
    return font(14, QFont::DemiBold);
}
QFont body()
{
    return font(14, QFont::Normal);
}
QFont callout()
{
    return font(13, QFont::Medium);
}
QFont caption()
{
    return font(12, QFont::Normal);
}
QFont captionBold()
{
    return font(12, QFont::Bold);
}
QFont badge()
{
    return font(10, QFont::Medium);
}
} // namespace Typography

namespace Colors {
QColor glassBackground()
{
    return QColor(Qt::transparent);
}
QColor glassOverlay()
{
    return white(0.35);
}
QColor glassHighlight()
{
    return white(0.5);
}
QColor glassShadow()
{
    return black(0.25);
}
QColor glassRimLight()
{
    return white(0.75);
}
QColor glassGradientLightStart()
{
    return grey(0.95, 0.12);
}
QColor glassGradientLightEnd()
{
    return grey(0.95, 0.05);
}
QColor glassGradientDarkStart()
{
    return grey(0.1, 0.15);
}
QColor glassGradientDarkEnd()
{
    return grey(0.1, 0.08);
}

QColor textPrimary(const QPalette& palette)
{
    return palette.color(QPalette::WindowText);
}

// Secondary and tertiary text are the primary ink pulled towards the window
// colour, only as far as stays legible on it: tertiary to the bar for body
// text, secondary a step above it. The margin over the bar absorbs the faint
// veils that plates lay over the window.
namespace {
constexpr double secondaryRatio = 5.5;
constexpr double tertiaryRatio = 4.7;

QColor inkTowardsWindow(const QPalette& palette, double ratio)
{
    const QColor ink = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    const QColor halfway = QColor::fromRgbF((ink.redF() + window.redF()) / 2.0f,
        (ink.greenF() + window.greenF()) / 2.0f, (ink.blueF() + window.blueF()) / 2.0f);
    return Contrast::reaching(halfway, window, ratio);
}
} // namespace

QColor textSecondary(const QPalette& palette)
{
    return inkTowardsWindow(palette, secondaryRatio);
}

QColor textTertiary(const QPalette& palette)
{
    return inkTowardsWindow(palette, tertiaryRatio);
}
// From the field's text colour, or the window's where a half-set palette
// left the field's at its light default on a dark field.
QColor placeholderText(const QPalette& palette)
{
    const QColor field = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    const QColor windowText = palette.color(QPalette::WindowText);
    const QColor ink = Contrast::ratio(text, field) >= Contrast::ratio(windowText, field) ? text : windowText;
    const QColor halfway = QColor::fromRgbF((ink.redF() + field.redF()) / 2.0f, (ink.greenF() + field.greenF()) / 2.0f,
        (ink.blueF() + field.blueF()) / 2.0f);
    return Contrast::reaching(halfway, field, tertiaryRatio);
}
QColor highContrastText()
{
    return white(0.95);
}
QColor highContrastBackground()
{
    return black(0.4);
}
// The desktop's accent, darkened or lightened until it reads as text on
// the window.
QColor accentColor(const QPalette& palette)
{
    return Contrast::reaching(palette.color(QPalette::Highlight), palette.color(QPalette::Window), tertiaryRatio);
}
// The accent under white text and the glass overlay: dark enough that the
// text stays legible once the overlay lightens it.
QColor accentFill(const QPalette& palette)
{
    return Contrast::reaching(palette.color(QPalette::Highlight), Qt::white, tertiaryRatio, glassOverlay());
}
QColor controlBackground(const QPalette& palette)
{
    return palette.color(QPalette::Base);
}
QColor successColor()
{
    return QColor(52, 178, 89);
}
QColor warningColor()
{
    return QColor(240, 146, 38);
}
QColor destructiveColor(const QPalette& palette)
{
    return Contrast::reaching(QColor(224, 62, 54), palette.color(QPalette::Window), tertiaryRatio);
}
QColor cautionColor()
{
    return QColor(242, 196, 32);
}
QColor systemGray()
{
    return QColor(142, 142, 147);
}
} // namespace Colors

namespace Animation {
TimingCurve easeInOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return {curve, 0.2};
}
} // namespace Animation

} // namespace TallowindTheme
