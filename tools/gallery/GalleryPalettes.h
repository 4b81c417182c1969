#pragma once

// The light and dark palettes the developer galleries show their views in.
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

inline QPalette lightPalette()
{
    QPalette palette = QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette();
    palette.setColor(QPalette::Highlight, QColor(38, 110, 220));
    return palette;
}

inline QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(38, 38, 42));
    palette.setColor(QPalette::WindowText, QColor(235, 235, 240));
    palette.setColor(QPalette::Base, QColor(28, 28, 30));
    palette.setColor(QPalette::AlternateBase, QColor(44, 44, 48));
    palette.setColor(QPalette::Text, QColor(235, 235, 240));
    palette.setColor(QPalette::Button, QColor(52, 52, 56));
    palette.setColor(QPalette::ButtonText, QColor(235, 235, 240));
    palette.setColor(QPalette::ToolTipBase, QColor(52, 52, 56));
    palette.setColor(QPalette::ToolTipText, QColor(235, 235, 240));
    palette.setColor(QPalette::Highlight, QColor(64, 132, 240));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 126));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 126));
    return palette;
}
