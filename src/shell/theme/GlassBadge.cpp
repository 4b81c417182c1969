#include "shell/theme/GlassBadge.h"

#include "shell/theme/TallowindTheme.h"

#include <QPainter>
#include <QPainterPath>

using namespace TallowindTheme;

GlassBadge::GlassBadge(const QString& text, const QColor& color, QWidget* parent)
    : QWidget(parent), label(text), fill(color)
{
    setFont(Typography::badge());
    setAccessibleName(text);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void GlassBadge::setText(const QString& value)
{
    label = value;
    setAccessibleName(value);
    updateGeometry();
    update();
    emit textChanged(value);
}

void GlassBadge::setColor(const QColor& value)
{
    fill = value;
    update();
    emit colorChanged(value);
}

QSize GlassBadge::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(label) + 2 * static_cast<int>(Spacing::xSmall),
        metrics.height() + 2 * static_cast<int>(Spacing::xxSmall));
}

void GlassBadge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule(rect());
    QPainterPath shape;
    shape.addRoundedRect(capsule, capsule.height() / 2.0, capsule.height() / 2.0);
    painter.fillPath(shape, fill);
    painter.fillPath(shape, Colors::glassOverlay());
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(capsule, Qt::AlignCenter, label);
}
