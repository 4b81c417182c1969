#include "popover/WaveformView.h"

#include "shell/theme/Motion.h"
#include "shell/theme/TallowindTheme.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

WaveformView::WaveformView(QWidget* parent)
    : QWidget(parent), scrollTimer(new QTimer(this)), transition(new QVariantAnimation(this))
{
    transitionStart = barHeights();
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(QStringLiteral("Input level"));
    scrollTimer->setInterval(static_cast<int>(std::lround(updateInterval * 1000.0)));
    connect(scrollTimer, &QTimer::timeout, this, &WaveformView::scrollOneStep);
    transition->setStartValue(0.0);
    transition->setEndValue(1.0);
    transition->setEasingCurve(QEasingCurve::Linear);
    connect(transition, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        transitionProgress = value.toDouble();
        update();
    });
}

void WaveformView::setAudioLevel(double value)
{
    const bool changed = value != level;
    level = value;
    if (changed) {
        const auto previous = history;
        history.back() = value;
        animateFrom(previous);
    }
    emit audioLevelChanged(level);
}

void WaveformView::reset(double currentLevel)
{
    transition->stop();
    level = currentLevel;
    history.fill(0.0);
    transitionStart = barHeights();
    transitionProgress = 1.0;
    update();
}

double WaveformView::barHeight(double value)
{
    return minBarHeight + (maxBarHeight - minBarHeight) * value;
}

std::array<double, WaveformView::barCount> WaveformView::barHeights() const
{
    std::array<double, barCount> heights{};
    for (int i = 0; i < barCount; ++i)
        heights[static_cast<size_t>(i)] = barHeight(history[static_cast<size_t>(i)]);
    return heights;
}

void WaveformView::scrollOneStep()
{
    const auto previous = history;
    for (size_t i = 0; i + 1 < history.size(); ++i)
        history[i] = history[i + 1];
    animateFrom(previous);
}

bool WaveformView::isScrolling() const
{
    return scrollTimer->isActive();
}

// Each change glides over one scrolling interval, so successive steps blend
// into a continuous scroll.
void WaveformView::animateFrom(const std::array<double, barCount>& previous)
{
    for (size_t i = 0; i < history.size(); ++i) {
        const double shown = transitionStart[i] + (barHeight(previous[i]) - transitionStart[i]) * transitionProgress;
        transitionStart[i] = shown;
    }
    transition->stop();
    const int ms = Motion::milliseconds(updateInterval);
    if (ms <= 0 || !isVisible()) {
        transitionStart = barHeights();
        transitionProgress = 1.0;
        update();
        return;
    }
    transitionProgress = 0.0;
    transition->setDuration(ms);
    transition->start();
}

QSize WaveformView::sizeHint() const
{
    const int width = static_cast<int>(barCount * barWidth + (barCount - 1) * barSpacing);
    return {width, static_cast<int>(maxBarHeight)};
}

QSize WaveformView::minimumSizeHint() const
{
    return {static_cast<int>(barCount * barWidth + (barCount - 1)), static_cast<int>(maxBarHeight)};
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = TallowindTheme::Colors::textPrimary(palette());
    fill.setAlphaF(0.3F);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);

    const auto target = barHeights();
    // Where the row is narrower than its natural width the gaps shrink, so
    // all twenty bars stay visible.
    const double spacing = std::clamp((width() - barCount * barWidth) / (barCount - 1), 1.0, barSpacing);
    const double rowWidth = barCount * barWidth + (barCount - 1) * spacing;
    double x = (width() - rowWidth) / 2.0;
    const double centreY = height() / 2.0;
    for (size_t i = 0; i < target.size(); ++i) {
        const double h = transitionStart[i] + (target[i] - transitionStart[i]) * transitionProgress;
        const QRectF bar(x, centreY - h / 2.0, barWidth, h);
        painter.drawRoundedRect(bar, barCornerRadius, barCornerRadius);
        x += barWidth + spacing;
    }
}

// Appearing starts a fresh timer; leaving the screen stops it.
void WaveformView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    scrollTimer->start();
}

void WaveformView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    scrollTimer->stop();
}

void WaveformView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        update();
}
