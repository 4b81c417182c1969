#pragma once

#include "shell/theme/Appearance.h"
#include "shell/theme/Motion.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QWidget>

#include <gtest/gtest.h>

// Every theme test starts translucent, with animations at full length, and
// leaves it so.
class ThemeTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    static void reset()
    {
        Appearance::shared().setCompositor(nullptr);
        Appearance::shared().setReduceTransparency(false);
        Motion::setDurationScale(1.0);
    }
};

inline QPalette lightPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(239, 239, 239));
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(30, 100, 220));
    return palette;
}

inline QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(38, 38, 42));
    palette.setColor(QPalette::WindowText, QColor(235, 235, 240));
    palette.setColor(QPalette::Base, QColor(28, 28, 30));
    palette.setColor(QPalette::Highlight, QColor(64, 132, 240));
    return palette;
}

// The widget as a top-level window with a transparent background, so
// unpainted pixels read back as alpha 0.
inline QImage grabTranslucent(QWidget& widget)
{
    widget.setAttribute(Qt::WA_TranslucentBackground);
    widget.show();
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}
