#pragma once

#include <QColor>

// Legibility by the numbers: the relative luminance and contrast ratio of
// sRGB colours, and the lightness a colour needs to stand out by a ratio.
namespace Contrast {

// The ratio body text needs against what is behind it.
inline constexpr double textRatio = 4.5;

double luminance(const QColor& colour);
// From 1 (the same) to 21 (black on white); the order does not matter.
double ratio(const QColor& a, const QColor& b);
// `top` painted over the opaque `below`.
QColor over(const QColor& top, const QColor& below);
// `colour`, opaque, with its hue and saturation kept and its lightness moved
// away from `against` only as far as the ratio to `against` needs to reach
// `target`, measured once `veil` is painted over it. An already legible
// colour comes back unchanged.
QColor reaching(const QColor& colour, const QColor& against, double target, const QColor& veil = Qt::transparent);

} // namespace Contrast
