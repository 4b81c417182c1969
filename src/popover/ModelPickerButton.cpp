#include "popover/ModelPickerButton.h"

#include "popover/FocusRing.h"

#include "shell/theme/Motion.h"
#include "shell/theme/TallowindTheme.h"

#include <QPainter>
#include <QVariantAnimation>

namespace {
const QString noModel = QStringLiteral("Select Model");
}

ModelPickerButton::ModelPickerButton(QWidget* parent) : QAbstractButton(parent), animation(new QVariantAnimation(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    QFont labelFont = font();
    labelFont.setPixelSize(fontPixelSize);
    labelFont.setWeight(QFont::Medium);
    setFont(labelFont);
    setText(noModel);
    setAccessibleName(QStringLiteral("Model: ") + noModel);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    animation->setEasingCurve(QEasingCurve::InOutCubic);
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        backgroundAmount = value.toDouble();
        update();
    });
}

void ModelPickerButton::setModelName(const QString& name)
{
    setText(name.isEmpty() ? noModel : name);
    setAccessibleName(QStringLiteral("Model: ") + text());
    updateGeometry();
    update();
}

QSize ModelPickerButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 2 * horizontalPadding, metrics.height() + 2 * verticalPadding};
}

void ModelPickerButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    setHovering(true);
}

void ModelPickerButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    setHovering(false);
}

void ModelPickerButton::setHovering(bool value)
{
    const bool changed = value != hovering;
    hovering = value;
    emit hoveringChanged(hovering);
    if (!changed)
        return;
    animation->stop();
    const int ms = Motion::milliseconds(hoverSeconds);
    if (ms <= 0) {
        backgroundAmount = hovering ? 1.0 : 0.0;
        update();
        return;
    }
    animation->setDuration(ms);
    animation->setStartValue(backgroundAmount);
    animation->setEndValue(hovering ? 1.0 : 0.0);
    animation->start();
}

void ModelPickerButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor secondary = TallowindTheme::Colors::textSecondary(palette());
    if (backgroundAmount > 0.0) {
        QColor background = secondary;
        background.setAlphaF(static_cast<float>(0.1 * backgroundAmount));
        painter.setPen(Qt::NoPen);
        painter.setBrush(background);
        painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    }
    painter.setPen(secondary);
    painter.setFont(font());
    const QRect area = rect().adjusted(horizontalPadding, 0, -horizontalPadding, 0);
    painter.drawText(
        area, Qt::AlignCenter | Qt::TextSingleLine, fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    if (FocusRing::wanted(this))
        FocusRing::paint(painter, QRectF(rect()), cornerRadius, palette());
}
