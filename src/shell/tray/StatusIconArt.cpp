#include "shell/tray/StatusIconArt.h"

#include "shell/theme/Contrast.h"
#include "shell/theme/SymbolIcons.h"

#include <QPainter>
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

// Near black and near white: a glyph of either reads even on mid grey.
const QColor dark(12, 12, 14);
const QColor light(250, 250, 250);

QColor inkOn(const std::optional<QColor>& panel)
{
    return panel && Contrast::ratio(light, *panel) > Contrast::ratio(dark, *panel) ? light : dark;
}

} // namespace

QString look(const QString& symbolName, const std::optional<QColor>& panel)
{
    const QString ink = !panel  ? QStringLiteral("outlined")
        : inkOn(panel) == light ? QStringLiteral("light")
                                : QStringLiteral("dark");
    return knownOrIdle(symbolName) + QLatin1Char(' ') + ink;
}

QIcon icon(const QString& symbolName, const std::optional<QColor>& panel)
{
    const QString name = knownOrIdle(symbolName);
    const QColor ink = inkOn(panel);
    QIcon result;
    for (int side : {16, 22, 24, 32, 48, 64}) {
        const int inset = std::max(1, side / 22);
        const int inner = side - 2 * inset;
        const QPixmap glyph = SymbolIcons::pixmap(name, inner, SymbolTint{ink, {}, SymbolRendering::monochrome});
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        if (!panel) {
            // A crisp outline one device pixel wide, opaque so it does not
            // blur into a second ring.
            const QPixmap outline =
                SymbolIcons::pixmap(name, inner, SymbolTint{light, {}, SymbolRendering::monochrome});
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    if (dx || dy)
                        painter.drawPixmap(inset + dx * inset, inset + dy * inset, outline);
        }
        painter.drawPixmap(inset, inset, glyph);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace StatusIconArt
