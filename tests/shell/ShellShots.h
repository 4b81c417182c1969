#pragma once

// The same light and dark palettes the developer galleries use.
#include "gallery/GalleryPalettes.h"

#include <QDir>
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
