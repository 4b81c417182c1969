#pragma once

// How the developer galleries lay out and save their pictures.
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <cstdio>

// A calm desktop-like backdrop, so translucent windows show as they would.
inline void paintBackdrop(QPainter& painter, const QRect& area)
{
    QLinearGradient wash(area.topLeft(), area.bottomRight());
    wash.setColorAt(0, QColor(92, 120, 160));
    wash.setColorAt(1, QColor(160, 110, 120));
    painter.fillRect(area, wash);
}

// Writes the picture and prints its path; false (and says so) on failure.
inline bool savePicture(const QImage& picture, const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    if (!picture.save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}
