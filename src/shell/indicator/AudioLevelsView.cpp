#include "shell/indicator/AudioLevelsView.h"

#include "shell/theme/Appearance.h"
#include "shell/theme/Motion.h"
#include "shell/theme/SpringAnimation.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// An interpolating spring: mass 1, stiffness 250, damping 15, from rest.
SpringEasing barSpring()
{
    return SpringEasing(1.0, 250.0, 15.0, 0.0);
}

// White on a dark plate; on a light plate white bars would vanish, so the
// meter takes near-black ink there.
QColor inkFor(const QPalette& palette)
{
    return colorSchemeOf(palette) == ColorScheme::dark ? QColor(Qt::white) : QColor(29, 29, 31);
}

QPainterPath capsule(const QRectF& rect)
{
    QPainterPath path;
    const double radius = std::min(rect.width(), rect.height()) / 2.0;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

} // namespace

AudioLevelsView::AudioLevelsView(QWidget* parent)
    : QWidget(parent),
      startHeights(barCount, minimumBarHeight),
      shownHeights(barCount, minimumBarHeight),
      endHeights(barCount, minimumBarHeight),
      spring(new SpringAnimation(barSpring(), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(rowHeight);
    spring->setStartValue(0.0);
    spring->setEndValue(1.0);
    connect(spring, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double progress = value.toDouble();
        for (size_t i = 0; i < shownHeights.size(); ++i)
            shownHeights[i] = startHeights[i] + (endHeights[i] - startHeights[i]) * progress;
        update();
    });
}

void AudioLevelsView::setLevels(const QList<float>& levels)
{
    target = levels;
    spring->stop();
    startHeights = shownHeights;
    for (int i = 0; i < barCount; ++i)
        endHeights[static_cast<size_t>(i)] = levelHeight(levels, i);
    // The spring's length follows the motion scale; at zero the bars jump.
    spring->setDuration(Motion::milliseconds(spring->spring().settlingSeconds()));
    if (spring->duration() <= 0) {
        shownHeights = endHeights;
        update();
        return;
    }
    spring->start();
}

double AudioLevelsView::levelHeight(const QList<float>& levels, int index)
{
    if (index < 0 || index >= levels.size())
        return minimumBarHeight;
    return minimumBarHeight + levelScale * static_cast<double>(levels[index]);
}

QRectF AudioLevelsView::barRect(int index) const
{
    // The spring overshoots; a bar never turns inside out nor leaves the row.
    const double height = std::clamp(shownHeights[static_cast<size_t>(index)], 0.0, static_cast<double>(rowHeight));
    const double left = (width() - rowWidth()) / 2.0 + index * (barWidth + barSpacing);
    return QRectF(left, (rowHeight - height) / 2.0, barWidth, height);
}

QSize AudioLevelsView::sizeHint() const
{
    return QSize(static_cast<int>(std::ceil(rowWidth())), rowHeight);
}

void AudioLevelsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor ink = inkFor(palette());
    const auto withAlpha = [&](double alpha) {
        QColor colour = ink;
        colour.setAlphaF(static_cast<float>(alpha));
        return colour;
    };
    for (int i = 0; i < barCount; ++i) {
        const QRectF bar = barRect(i);
        if (bar.height() <= 0.0)
            continue;
        // Three layers: the body, a lighter wash, and a soft glow around it.
        painter.fillPath(capsule(bar), withAlpha(0.7));
        painter.fillPath(capsule(bar), withAlpha(0.25));
        painter.fillPath(capsule(bar.adjusted(-0.5, -0.5, 0.5, 0.5)), withAlpha(0.12));
    }
}
