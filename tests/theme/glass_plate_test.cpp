#include "ThemeFixture.h"

#include "shell/theme/GlassPlate.h"
#include "shell/theme/GlassmorphismView.h"

#include <QApplication>

namespace {

using GlassPlateTest = ThemeTest;

QImage plateImage(const QPalette& palette, double radius = 12.0, QMargins margins = {}, QSize size = QSize(120, 80))
{
    GlassmorphismView plate(radius);
    plate.setPalette(palette);
    plate.setContentsMargins(margins);
    plate.resize(size);
    return grabTranslucent(plate);
}

TEST_F(GlassPlateTest, CornersOutsideTheRadiusStayTransparentAndTheRimLightensTheEdge)
{
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        const QImage image = plateImage(palette, 16.0);
        ASSERT_EQ(image.size(), QSize(120, 80));
        for (QPoint corner : {QPoint(0, 0), QPoint(119, 0), QPoint(0, 79), QPoint(119, 79), QPoint(2, 2)})
            EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << corner.x() << "," << corner.y();
        // Just inside the curve the plate is painted.
        EXPECT_GT(qAlpha(image.pixel(8, 8)), 100);

        // The 1-px rim lies on the outermost row only and adds coverage there.
        const int edge = qAlpha(image.pixel(30, 0));
        const int inside = qAlpha(image.pixel(30, 3));
        EXPECT_GT(edge, inside + 4);
        EXPECT_NEAR(qAlpha(image.pixel(30, 2)), inside, 2);
        // Translucent, not opaque.
        EXPECT_LT(qAlpha(image.pixel(60, 40)), 250);
        EXPECT_GT(qAlpha(image.pixel(60, 40)), 150);
    }
}

TEST_F(GlassPlateTest, DefaultRadiusIsTheWindowCornerRadius)
{
    GlassmorphismView plate;
    EXPECT_DOUBLE_EQ(plate.cornerRadius(), 12.0);
    QWidget view;
    EXPECT_DOUBLE_EQ(glassBackground(&view)->cornerRadius(), 12.0);
}

TEST_F(GlassPlateTest, SolidVariantHasTheFixedFillsOfEachScheme)
{
    Appearance::shared().setReduceTransparency(true);
    // Light: white 0.92 under gray 0.1; dark: black 0.85 under gray 0.1.
    const QColor light = QColor::fromRgba(plateImage(lightPalette()).pixel(60, 40));
    const QColor dark = QColor::fromRgba(plateImage(darkPalette()).pixel(60, 40));
    EXPECT_NEAR(light.alpha(), 237, 3);
    EXPECT_NEAR(light.red(), 243, 3);
    EXPECT_NEAR(dark.alpha(), 221, 3);
    EXPECT_NEAR(dark.red(), 16, 3);

    // The rim starts weaker than on glass.
    const QImage solid = plateImage(darkPalette());
    Appearance::shared().setReduceTransparency(false);
    const QImage glass = plateImage(darkPalette());
    const int solidRim = qAlpha(solid.pixel(20, 0)) - qAlpha(solid.pixel(20, 3));
    const int glassRim = qAlpha(glass.pixel(20, 0)) - qAlpha(glass.pixel(20, 3));
    EXPECT_GT(glassRim, solidRim);
}

TEST_F(GlassPlateTest, SchemeFollowsThePaletteAndRepaintsOnChange)
{
    GlassmorphismView plate;
    plate.resize(120, 80);
    plate.setPalette(lightPalette());
    const QColor light = QColor::fromRgb(grabTranslucent(plate).pixel(60, 40));
    plate.setPalette(darkPalette());
    EXPECT_EQ(plate.plateStyle().scheme, ColorScheme::dark);
    const QColor dark = QColor::fromRgb(grabTranslucent(plate).pixel(60, 40));
    EXPECT_GT(light.lightness(), 180);
    EXPECT_LT(dark.lightness(), 80);
}

TEST_F(GlassPlateTest, ShadowsFallInTheMarginsBelowThePlateButNeverUnderIt)
{
    const QMargins margins(30, 20, 30, 40);
    const QImage bare = plateImage(darkPalette());
    const QImage shadowed = plateImage(darkPalette(), 12.0, margins, QSize(180, 140));
    // Under the plate: the same pixels as without shadows.
    EXPECT_TRUE(near(QColor::fromRgba(shadowed.pixel(30 + 60, 20 + 40)), QColor::fromRgba(bare.pixel(60, 40)), 1));
    // The shadow reaches further below than above (all offsets point down).
    const int below = qAlpha(shadowed.pixel(90, 20 + 80 + 10));
    const int above = qAlpha(shadowed.pixel(90, 10));
    EXPECT_GT(below, 40);
    EXPECT_GT(below, above);
    EXPECT_GT(GlassPlate::shadowExtent(false).bottom(), GlassPlate::shadowExtent(true).bottom());
}

TEST_F(GlassPlateTest, BackgroundFollowsItsViewAndStaysBehindItsChildren)
{
    QWidget view;
    auto* child = new QWidget(&view);
    GlassmorphismView* plate = glassBackground(&view, 16.0);
    auto* later = new QWidget(&view);
    view.resize(200, 100);
    view.show();
    EXPECT_EQ(plate->geometry(), view.rect());
    view.resize(260, 150);
    EXPECT_EQ(plate->geometry(), QRect(0, 0, 260, 150));
    view.setContentsMargins(10, 10, 10, 10);
    QApplication::processEvents();
    EXPECT_EQ(plate->contentsRect(), QRect(10, 10, 240, 130));
    EXPECT_LT(view.children().indexOf(plate), view.children().indexOf(child));
    EXPECT_LT(view.children().indexOf(plate), view.children().indexOf(later));
    EXPECT_EQ(view.childAt(20, 20) == plate, false);
    EXPECT_TRUE(plate->testAttribute(Qt::WA_TransparentForMouseEvents));
}

} // namespace
