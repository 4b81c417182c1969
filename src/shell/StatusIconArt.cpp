#include "shell/StatusIconArt.h"

#include "shell/theme/SymbolIcons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <algorithm>

namespace StatusIconArt {
namespace {

QString knownOrIdle(const QString& name)
{
    if (name == QLatin1String("mic.circle.fill") || name == QLatin1String("mic.badge.ellipsis"))
        return name;
    return QStringLiteral("mic.circle");
}

} // namespace

QIcon icon(const QString& symbolName, const QColor& colour)
{
    const QString name = knownOrIdle(symbolName);
    const QColor ink = colour.isValid() ? colour : QGuiApplication::palette().color(QPalette::WindowText);
    // The panel behind a tray icon may be light or dark: a thin halo of the
    // opposite lightness keeps the glyph readable on either.
    const QColor halo = ink.lightness() < 128 ? QColor(255, 255, 255, 170) : QColor(0, 0, 0, 170);
    QIcon result;
    for (int side : {16, 22, 24, 32, 48, 64}) {
        const int inset = std::max(1, side / 22);
        const int inner = side - 2 * inset;
        const QPixmap glyph = SymbolIcons::pixmap(name, inner, SymbolTint{ink, {}, SymbolRendering::monochrome});
        const QPixmap outline = SymbolIcons::pixmap(name, inner, SymbolTint{halo, {}, SymbolRendering::monochrome});
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
