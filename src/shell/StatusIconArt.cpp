#include "shell/StatusIconArt.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <algorithm>

namespace StatusIconArt {
namespace {

// A microphone in a square of side `size` centred on `centre`: capsule,
// cradle, stem and foot.
void drawMicrophone(QPainter& painter, QPointF centre, double size)
{
    const double capsuleWidth = size * 0.36;
    const double capsuleHeight = size * 0.56;
    const QRectF capsule(centre.x() - capsuleWidth / 2, centre.y() - size / 2, capsuleWidth, capsuleHeight);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(capsule, capsuleWidth / 2, capsuleWidth / 2);

    QPen stroke(painter.brush().color(), size * 0.08, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(stroke);
    painter.setBrush(Qt::NoBrush);
    const double cradleWidth = size * 0.62;
    const QRectF cradle(centre.x() - cradleWidth / 2, centre.y() - size * 0.28, cradleWidth, size * 0.6);
    painter.drawArc(cradle, 180 * 16, 180 * 16);
    const double stemTop = cradle.bottom();
    const double bottom = centre.y() + size / 2 - stroke.widthF() / 2;
    painter.drawLine(QPointF(centre.x(), stemTop), QPointF(centre.x(), bottom));
    painter.drawLine(QPointF(centre.x() - size * 0.18, bottom), QPointF(centre.x() + size * 0.18, bottom));
}

QPixmap render(const QString& name, const QColor& colour, int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(side / 2.0, side / 2.0);

    if (name == QLatin1String("mic.badge.ellipsis")) {
        painter.setBrush(colour);
        drawMicrophone(painter, QPointF(side * 0.42, side * 0.45), side * 0.78);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        const double dot = side * 0.11;
        for (int i = 0; i < 3; ++i)
            painter.drawEllipse(QPointF(side * (0.62 + 0.14 * i), side * 0.88), dot / 2 + 0.5, dot / 2 + 0.5);
        return pixmap;
    }

    const double radius = side * 0.46;
    const bool filled = name == QLatin1String("mic.circle.fill");
    if (filled) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(centre, radius, radius);
        // The microphone is cut out of the disc.
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setBrush(Qt::black);
    } else {
        painter.setPen(QPen(colour, side * 0.07));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, radius - side * 0.035, radius - side * 0.035);
        painter.setBrush(colour);
    }
    drawMicrophone(painter, centre, side * 0.5);
    return pixmap;
}

} // namespace

QIcon icon(const QString& symbolName, const QColor& colour)
{
    const QColor ink = colour.isValid() ? colour : QGuiApplication::palette().color(QPalette::WindowText);
    // The panel behind a tray icon may be light or dark: a thin halo of the
    // opposite lightness keeps the glyph readable on either.
    const QColor halo = ink.lightness() < 128 ? QColor(255, 255, 255, 170) : QColor(0, 0, 0, 170);
    QIcon result;
    for (int side : {16, 22, 24, 32, 48, 64}) {
        const int inset = std::max(1, side / 22);
        const QPixmap glyph = render(symbolName, ink, side - 2 * inset);
        const QPixmap outline = render(symbolName, halo, side - 2 * inset);
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (dx || dy)
                    painter.drawPixmap(inset + dx * inset, inset + dy * inset, outline);
        painter.drawPixmap(inset, inset, glyph);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace StatusIconArt
