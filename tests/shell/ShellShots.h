#pragma once

#include <QDir>
#include <QPalette>
#include <QWidget>

// Pictures of views for a person to look at: written only when
// TALLOWIND_SHOTS_DIR names a folder.
inline void saveShot(QWidget& view, const QString& name)
{
    const QString folder = qEnvironmentVariable("TALLOWIND_SHOTS_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    view.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

inline QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::WindowText, QColor(0xf2, 0xf2, 0xf2));
    palette.setColor(QPalette::Base, QColor(0x2c, 0x2c, 0x2e));
    palette.setColor(QPalette::Text, QColor(0xf2, 0xf2, 0xf2));
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3c));
    palette.setColor(QPalette::ButtonText, QColor(0xf2, 0xf2, 0xf2));
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    return palette;
}

inline QPalette lightPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xec, 0xec, 0xec));
    palette.setColor(QPalette::WindowText, QColor(0x1d, 0x1d, 0x1f));
    palette.setColor(QPalette::Base, QColor(0xff, 0xff, 0xff));
    palette.setColor(QPalette::Text, QColor(0x1d, 0x1d, 0x1f));
    palette.setColor(QPalette::Button, QColor(0xf5, 0xf5, 0xf5));
    palette.setColor(QPalette::ButtonText, QColor(0x1d, 0x1d, 0x1f));
    palette.setColor(QPalette::Highlight, QColor(0x00, 0x7a, 0xff));
    return palette;
}
