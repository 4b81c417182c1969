#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <QStringList>

// How a symbol's layers take their colours.
enum class SymbolRendering {
    // One colour; a glyph set into a filled shape is cut out of it.
    monochrome,
    // One colour; the filled shape behind a glyph at reduced opacity.
    hierarchical,
    // The glyph in the primary colour, the shape behind it in the secondary.
    palette,
};

struct SymbolTint {
    QColor primary;
    QColor secondary; // palette rendering only
    SymbolRendering rendering = SymbolRendering::monochrome;

    static SymbolTint mono(const QColor& colour) { return SymbolTint{colour, QColor(), SymbolRendering::monochrome}; }
};

// Our own icons, drawn as SVG files in the application's resources and
// named by the symbol names the views use ("mic.circle", "trash", ...).
//
// A file marks its layers by colour: #000000 is the glyph ink, #7f7f7f the
// filled shape behind a glyph and #ff00ff a glyph set into that shape.
namespace SymbolIcons {

bool contains(const QString& name);
QStringList names();
// The symbol drawn in a square of `pixelSize` logical pixels; a null pixmap
// for an unknown name.
QPixmap pixmap(const QString& name, int pixelSize, const SymbolTint& tint, qreal devicePixelRatio = 1.0);
// An icon that draws the symbol at any size, inked with the palette's
// window text (disabled and selected modes follow the palette too).
QIcon icon(const QString& name, const QPalette& palette);
// An icon in fixed colours.
QIcon icon(const QString& name, const SymbolTint& tint);

} // namespace SymbolIcons
