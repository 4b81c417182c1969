#include "ThemeFixture.h"

#include "shell/theme/Contrast.h"
#include "shell/theme/SymbolIcons.h"
#include "shell/tray/StatusIconArt.h"

#include <QPainter>

namespace {

using SymbolIconsTest = ThemeTest;

// Every symbol name the views and the tray use.
const QStringList viewSymbols = {
    QStringLiteral("mic"),
    QStringLiteral("mic.fill"),
    QStringLiteral("mic.circle"),
    QStringLiteral("mic.circle.fill"),
    QStringLiteral("mic.badge.ellipsis"),
    QStringLiteral("mic.slash"),
    QStringLiteral("xmark"),
    QStringLiteral("xmark.circle.fill"),
    QStringLiteral("checkmark"),
    QStringLiteral("checkmark.circle.fill"),
    QStringLiteral("circle"),
    QStringLiteral("stop.fill"),
    QStringLiteral("chevron.up"),
    QStringLiteral("doc.on.doc"),
    QStringLiteral("trash"),
    QStringLiteral("folder"),
    QStringLiteral("arrow.down.circle.fill"),
    QStringLiteral("plus.circle.fill"),
    QStringLiteral("text.book.closed"),
    QStringLiteral("book.closed"),
    QStringLiteral("cpu"),
    QStringLiteral("gearshape"),
    QStringLiteral("exclamationmark.triangle.fill"),
};

int inkedPixels(const QImage& image, QRgb* darkest = nullptr)
{
    int count = 0;
    int best = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) > 128)
                ++count;
            if (darkest && qAlpha(pixel) > best) {
                best = qAlpha(pixel);
                *darkest = pixel;
            }
        }
    return count;
}

QImage draw(const QString& name, int size, const SymbolTint& tint)
{
    return SymbolIcons::pixmap(name, size, tint).toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST_F(SymbolIconsTest, EveryViewSymbolDrawsInkAtEachSizeInBothSchemes)
{
    EXPECT_EQ(SymbolIcons::names().size(), viewSymbols.size());
    for (const QString& name : viewSymbols) {
        ASSERT_TRUE(SymbolIcons::contains(name)) << name.toStdString();
        for (const QPalette& palette : {lightPalette(), darkPalette()}) {
            const QColor ink = palette.color(QPalette::WindowText);
            for (int size : {16, 22, 32}) {
                const QImage image = SymbolIcons::icon(name, palette)
                                         .pixmap(size, size)
                                         .toImage()
                                         .convertToFormat(QImage::Format_ARGB32);
                ASSERT_EQ(image.size(), QSize(size, size)) << name.toStdString();
                QRgb strongest = 0;
                const int inked = inkedPixels(image, &strongest);
                // Visible, yet not a filled square.
                EXPECT_GE(inked, size) << name.toStdString() << " at " << size;
                EXPECT_LT(inked, size * size * 9 / 10) << name.toStdString() << " at " << size;
                EXPECT_TRUE(near(QColor::fromRgb(strongest), QColor(ink.red(), ink.green(), ink.blue()), 8))
                    << name.toStdString();
            }
        }
    }
}

TEST_F(SymbolIconsTest, FilledSymbolsCutTheirGlyphOutUnlessTwoColoursAreAsked)
{
    const QString name = QStringLiteral("xmark.circle.fill");
    const QColor white(255, 255, 255);
    const QColor black(0, 0, 0);
    // Monochrome: the cross is a hole in the disc.
    const QImage mono = draw(name, 32, SymbolTint{white, {}, SymbolRendering::monochrome});
    EXPECT_EQ(qAlpha(mono.pixel(16, 16)), 0);
    EXPECT_EQ(qAlpha(mono.pixel(16, 4)), 255);
    // Palette: the cross in the primary colour over the disc in the secondary.
    const QImage twoTone = draw(name, 32, SymbolTint{black, white, SymbolRendering::palette});
    EXPECT_TRUE(near(QColor::fromRgba(twoTone.pixel(16, 16)), black));
    EXPECT_TRUE(near(QColor::fromRgba(twoTone.pixel(16, 4)), white));
    // Hierarchical: the disc fainter than the cross.
    const QImage layered = draw(name, 32, SymbolTint{white, {}, SymbolRendering::hierarchical});
    EXPECT_EQ(qAlpha(layered.pixel(16, 16)), 255);
    EXPECT_LT(qAlpha(layered.pixel(16, 4)), 160);
    EXPECT_GT(qAlpha(layered.pixel(16, 4)), 60);
}

TEST_F(SymbolIconsTest, UnknownNamesDrawNothingAndDisabledIconsAreDimmer)
{
    EXPECT_FALSE(SymbolIcons::contains(QStringLiteral("no.such.symbol")));
    EXPECT_FALSE(SymbolIcons::contains(QString()));
    EXPECT_TRUE(SymbolIcons::pixmap(QStringLiteral("no.such.symbol"), 16, SymbolTint::mono(Qt::black)).isNull());
    EXPECT_TRUE(SymbolIcons::pixmap(QStringLiteral("../symbols/mic"), 16, SymbolTint::mono(Qt::black)).isNull());
    EXPECT_TRUE(SymbolIcons::icon(QStringLiteral("no.such.symbol"), lightPalette()).isNull());

    QPalette palette = lightPalette();
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(160, 160, 160));
    const QIcon icon = SymbolIcons::icon(QStringLiteral("stop.fill"), palette);
    const QImage normal = icon.pixmap(22, 22).toImage();
    const QImage disabled = icon.pixmap(22, 22, QIcon::Disabled).toImage();
    EXPECT_LT(QColor::fromRgba(normal.pixel(11, 11)).lightness(), 20);
    EXPECT_GT(QColor::fromRgba(disabled.pixel(11, 11)).lightness(), 140);
}

TEST_F(SymbolIconsTest, SharpAtHighDensity)
{
    const QPixmap pixmap = SymbolIcons::pixmap(QStringLiteral("checkmark"), 16, SymbolTint::mono(Qt::black), 2.0);
    EXPECT_EQ(pixmap.size(), QSize(32, 32));
    EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), 2.0);
}

TEST_F(SymbolIconsTest, TrayIconsDifferByStateAndUnknownStatesShowIdle)
{
    auto image = [&](const char* name) {
        return StatusIconArt::icon(QString::fromLatin1(name))
            .pixmap(22, 22)
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    };
    const QImage idle = image("mic.circle");
    const QImage recording = image("mic.circle.fill");
    const QImage transcribing = image("mic.badge.ellipsis");
    EXPECT_NE(idle, recording);
    EXPECT_NE(idle, transcribing);
    EXPECT_NE(recording, transcribing);
    EXPECT_EQ(image("something.else"), idle);
    EXPECT_GE(inkedPixels(idle), 22);
}

// The icon laid on a panel: the contrast between the panel and the glyph's
// most distinct opaque pixel.
double iconContrastOn(const QColor& panel, const std::optional<QColor>& known)
{
    QImage canvas(22, 22, QImage::Format_ARGB32);
    canvas.fill(panel);
    QPainter painter(&canvas);
    painter.drawPixmap(0, 0, StatusIconArt::icon(QStringLiteral("mic.circle"), known).pixmap(22, 22));
    painter.end();
    double best = 1.0;
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 22; ++x)
            best = std::max(best, Contrast::ratio(canvas.pixelColor(x, y), panel));
    return best;
}

TEST_F(SymbolIconsTest, TrayIconReadsOnItsPanelAndOnAnyPanelWhenTheColourIsUnknown)
{
    const QList<QColor> panels = {
        Qt::white, QColor(236, 236, 236), QColor(128, 128, 128), QColor(40, 40, 44), Qt::black};
    for (const QColor& panel : panels) {
        SCOPED_TRACE(panel.name().toStdString());
        EXPECT_GE(iconContrastOn(panel, panel), Contrast::textRatio) << "known panel";
        EXPECT_GE(iconContrastOn(panel, std::nullopt), Contrast::textRatio) << "unknown panel";
    }
    // A known panel gets a plain glyph: no outline of the other lightness.
    const QImage onLight =
        StatusIconArt::icon(QStringLiteral("mic.circle"), QColor(Qt::white)).pixmap(22, 22).toImage();
    int lightPixels = 0;
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 22; ++x)
            lightPixels += onLight.pixelColor(x, y).alpha() > 60 && onLight.pixelColor(x, y).lightness() > 160;
    EXPECT_EQ(lightPixels, 0);
}

} // namespace
