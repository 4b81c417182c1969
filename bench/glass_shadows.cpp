// How long the glass plate's stacked shadows take to render the first time
// a plate of a new size is painted (later paints reuse the image), and how
// long a whole plate paint takes once they are cached.
#include "shell/theme/GlassPlate.h"
#include "shell/theme/SoftShadow.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QSize sizes[] = {QSize(220, 56), QSize(380, 240), QSize(600, 340)};
    std::printf("%-10s %14s %14s %16s\n", "plate", "glass ms", "solid ms", "cached paint ms");
    for (const QSize size : sizes) {
        double firstMs[2] = {0, 0};
        for (int solid = 0; solid < 2; ++solid) {
            QImage canvas(size + QSize(260, 260), QImage::Format_ARGB32_Premultiplied);
            canvas.fill(Qt::transparent);
            QPainter painter(&canvas);
            const GlassPlateStyle style{12.0, ColorScheme::dark, solid == 1, QColor()};
            QElapsedTimer timer;
            timer.start();
            GlassPlate::paint(painter, QRectF(QPointF(130, 100), QSizeF(size)), style, QRectF(canvas.rect()));
            firstMs[solid] = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        }
        QImage canvas(size + QSize(260, 260), QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        const GlassPlateStyle style{12.0, ColorScheme::dark, false, QColor()};
        constexpr int rounds = 50;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < rounds; ++i)
            GlassPlate::paint(painter, QRectF(QPointF(130, 100), QSizeF(size)), style, QRectF(canvas.rect()));
        const double cachedMs = static_cast<double>(timer.nsecsElapsed()) / 1e6 / rounds;
        std::printf("%4dx%-5d %14.1f %14.1f %16.2f\n", size.width(), size.height(), firstMs[0], firstMs[1], cachedMs);
    }
    return 0;
}
