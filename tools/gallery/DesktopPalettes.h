#pragma once

// Colour schemes of real desktops, beside the galleries' own: a KDE-style
// Breeze in light and dark, whose light-blue accent is hard on white text.
#include <QPalette>

inline QPalette breezePalette(bool dark)
{
    const QColor window = dark ? QColor(49, 54, 59) : QColor(239, 240, 241);
    const QColor ink = dark ? QColor(252, 252, 252) : QColor(35, 38, 41);
    const QColor field = dark ? QColor(35, 38, 41) : QColor(252, 252, 252);
    QPalette palette(ink, window);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, ink);
    palette.setColor(QPalette::Base, field);
    palette.setColor(QPalette::AlternateBase, dark ? QColor(42, 46, 50) : QColor(247, 247, 247));
    palette.setColor(QPalette::Text, ink);
    palette.setColor(QPalette::Button, dark ? QColor(49, 54, 59) : QColor(252, 252, 252));
    palette.setColor(QPalette::ButtonText, ink);
    palette.setColor(QPalette::Highlight, QColor(61, 174, 233));
    palette.setColor(QPalette::HighlightedText, QColor(252, 252, 252));
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, ink);
    // The light scheme's hint colour, as a palette built from defaults keeps it.
    palette.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    return palette;
}
