#include "shell/theme/Contrast.h"

#include <algorithm>
#include <cmath>

namespace Contrast {
namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor opaque(const QColor& colour)
{
    QColor result = colour.toRgb();
    result.setAlphaF(1.0f);
    return result;
}

QColor withLightness(const QColor& colour, double lightness)
{
    const QColor hsl = colour.toHsl();
    return QColor::fromHslF(std::max(0.0f, hsl.hslHueF()), hsl.hslSaturationF(), static_cast<float>(lightness)).toRgb();
}

} // namespace

double luminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

double ratio(const QColor& a, const QColor& b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor over(const QColor& top, const QColor& below)
{
    const QColor upper = top.toRgb();
    const QColor lower = below.toRgb();
    const float alpha = upper.alphaF();
    const auto mix = [alpha](float a, float b) { return a * alpha + b * (1.0f - alpha); };
    return QColor::fromRgbF(
        mix(upper.redF(), lower.redF()), mix(upper.greenF(), lower.greenF()), mix(upper.blueF(), lower.blueF()));
}

QColor reaching(const QColor& colour, const QColor& against, double target, const QColor& veil)
{
    const QColor start = opaque(colour);
    const auto measured = [&](const QColor& candidate) { return ratio(over(veil, candidate), against); };
    if (measured(start) >= target)
        return start;
    // Towards black on a light background, towards white on a dark one.
    const bool darken = ratio(Qt::black, against) >= ratio(Qt::white, against);
    double legible = darken ? 0.0 : 1.0;
    double illegible = start.toHsl().lightnessF();
    for (int step = 0; step < 24; ++step) {
        const double middle = (legible + illegible) / 2.0;
        if (measured(withLightness(start, middle)) >= target)
            legible = middle;
        else
            illegible = middle;
    }
    return withLightness(start, legible);
}

} // namespace Contrast
