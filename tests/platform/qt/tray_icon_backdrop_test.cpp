#include "platform/qt/TrayIconBackdrop.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

// A round glyph in the middle of a 24-pixel icon, as the tray paints it.
QImage roundGlyph(int diameter, const QColor& ink)
{
    QImage glyph(24, 24, QImage::Format_ARGB32_Premultiplied);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    const double inset = (24 - diameter) / 2.0;
    painter.drawEllipse(QRectF(inset, inset, diameter, diameter));
    return glyph;
}

} // namespace

// A tray that frames each icon with dark lines on a light panel: the glyph is
// seen on the light panel, whatever lies just outside its square.
TEST(TrayIconBackdrop, ReadsThePanelThroughTheIconNotTheFrameAroundIt)
{
    const QColor lightPanel(0xd6, 0xd6, 0xd6);
    const QColor frameLine(0x20, 0x20, 0x24);
    const QRect icon(8, 1, 24, 24);
    QImage panel(40, 26, QImage::Format_RGB32);
    panel.fill(lightPanel);
    QPainter painter(&panel);
    painter.setPen(frameLine);
    painter.drawRect(icon.adjusted(-1, -1, 0, 0));
    // The glyph as it shows on screen, near white.
    const QImage glyph = roundGlyph(18, QColor(250, 250, 250));
    painter.drawImage(icon.topLeft(), glyph);
    painter.end();
    ASSERT_EQ(panel.pixelColor(icon.left() - 1, icon.top() + 5), frameLine) << "the frame hugs the icon";

    const std::optional<QColor> behind = TrayIconBackdrop::colourBehind(panel, icon, glyph);
    ASSERT_TRUE(behind.has_value());
    EXPECT_EQ(*behind, lightPanel);

    // A glyph that fills its square leaves nothing to read, and a square
    // beyond the picture is not read.
    EXPECT_FALSE(TrayIconBackdrop::colourBehind(panel, icon, roundGlyph(40, Qt::white)).has_value());
    EXPECT_FALSE(TrayIconBackdrop::colourBehind(panel, icon.translated(20, 0), glyph).has_value());
}
