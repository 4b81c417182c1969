#include "popover/PulsingDot.h"

#include "shell/theme/Motion.h"
#include "shell/theme/TallowindTheme.h"

#include <QPainter>
#include <QVariantAnimation>

PulsingDot::PulsingDot(QWidget* parent) : QWidget(parent), animation(new QVariantAnimation(this))
{
    setFixedSize(diameter, diameter);
    setAttribute(Qt::WA_TranslucentBackground);
    // There and back is one loop: full, dim, full.
    animation->setStartValue(1.0);
    animation->setKeyValueAt(0.5, dimOpacity);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setLoopCount(-1);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        opacity = value.toDouble();
        update();
    });
}

void PulsingDot::setPulsing(bool value)
{
    pulsing = value;
    if (pulsing) {
        const int ms = Motion::milliseconds(halfPeriod) * 2;
        if (ms > 0) {
            animation->setDuration(ms);
            animation->start();
        }
    } else {
        animation->stop();
        opacity = 1.0;
    }
    update();
    emit pulsingChanged(pulsing);
}

void PulsingDot::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setPulsing(true);
}

void PulsingDot::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    setPulsing(false);
}

void PulsingDot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor red = TallowindTheme::Colors::destructiveColor();
    red.setAlphaF(static_cast<float>(opacity));
    painter.setBrush(red);
    painter.drawEllipse(QRectF(rect()));
}
