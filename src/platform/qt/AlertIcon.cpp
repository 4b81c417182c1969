#include "platform/qt/AlertIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {

QStyle::StandardPixmap standardPixmapFor(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Question:
        return QStyle::SP_MessageBoxQuestion;
    case QMessageBox::Warning:
        return QStyle::SP_MessageBoxWarning;
    case QMessageBox::Critical:
        return QStyle::SP_MessageBoxCritical;
    default:
        return QStyle::SP_MessageBoxInformation;
    }
}

bool hasPixelsFor(const QIcon& icon, int devicePixels)
{
    for (const QSize& available : icon.availableSizes())
        if (available.width() >= devicePixels)
            return true;
    return false;
}

// The common signs: a blue disc with "i" or "?", an amber triangle with
// "!", a red disc with a cross; white or near-black marks for contrast.
QPixmap drawnSign(QMessageBox::Icon icon, int size, qreal ratio)
{
    QPixmap picture(QSize(size, size) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(1, 1, size - 2, size - 2);
    QColor mark = Qt::white;
    if (icon == QMessageBox::Warning) {
        QPainterPath triangle;
        triangle.moveTo(area.center().x(), area.top() + 1);
        triangle.lineTo(area.right(), area.bottom() - 1);
        triangle.lineTo(area.left(), area.bottom() - 1);
        triangle.closeSubpath();
        painter.fillPath(triangle, QColor(242, 180, 0));
        mark = QColor(32, 32, 32);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(icon == QMessageBox::Critical ? QColor(214, 44, 36) : QColor(38, 110, 220));
        painter.drawEllipse(area);
    }
    const qreal unit = size / 32.0;
    painter.setPen(QPen(mark, 3.2 * unit, Qt::SolidLine, Qt::RoundCap));
    const qreal x = area.center().x();
    switch (icon) {
    case QMessageBox::Critical:
        painter.drawLine(QPointF(x - 6 * unit, x - 6 * unit), QPointF(x + 6 * unit, x + 6 * unit));
        painter.drawLine(QPointF(x + 6 * unit, x - 6 * unit), QPointF(x - 6 * unit, x + 6 * unit));
        break;
    case QMessageBox::Warning:
        painter.drawLine(QPointF(x, 12 * unit), QPointF(x, 21 * unit));
        painter.drawPoint(QPointF(x, 26 * unit));
        break;
    case QMessageBox::Question: {
        QPainterPath hook;
        hook.arcMoveTo(QRectF(x - 5 * unit, 8 * unit, 10 * unit, 9 * unit), 160);
        hook.arcTo(QRectF(x - 5 * unit, 8 * unit, 10 * unit, 9 * unit), 160, -250);
        hook.lineTo(x, 19 * unit);
        painter.drawPath(hook);
        painter.drawPoint(QPointF(x, 24 * unit));
        break;
    }
    default:
        painter.drawPoint(QPointF(x, 9.5 * unit));
        painter.drawLine(QPointF(x, 14 * unit), QPointF(x, 23 * unit));
        break;
    }
    return picture;
}

} // namespace

QPixmap alertIconPixmap(const QMessageBox& box, QMessageBox::Icon icon, int size, qreal ratio)
{
    const QIcon styled = box.style()->standardIcon(standardPixmapFor(icon), nullptr, &box);
    const int devicePixels = qRound(size * ratio);
    if (!styled.isNull() && (styled.availableSizes().isEmpty() || hasPixelsFor(styled, devicePixels)))
        return styled.pixmap(QSize(size, size), ratio);
    return drawnSign(icon, size, ratio);
}
