#include "ThemeFixture.h"

#include "support/FakeDesktopCompositor.h"

#include "shell/theme/FloatingWindowStyle.h"
#include "shell/theme/VisualEffectView.h"
#include "shell/theme/WindowShape.h"

#include <QApplication>
#include <QSignalSpy>

namespace {

using BackdropTest = ThemeTest;
using Material = VisualEffectView::Material;
using Blending = VisualEffectView::BlendingMode;

TEST_F(BackdropTest, KeepsItsMaterialAndBlendingAndStaysActive)
{
    VisualEffectView view(Material::popover, Blending::behindWindow);
    EXPECT_EQ(view.material(), Material::popover);
    EXPECT_EQ(static_cast<int>(view.material()), 6);
    EXPECT_EQ(view.blendingMode(), Blending::behindWindow);
    EXPECT_EQ(view.state(), VisualEffectView::State::active);

    QSignalSpy materials(&view, &VisualEffectView::materialChanged);
    QSignalSpy blendings(&view, &VisualEffectView::blendingModeChanged);
    QSignalSpy states(&view, &VisualEffectView::stateChanged);
    // Updating with the same values sets them again and announces them.
    view.updateEffect(Material::popover, Blending::behindWindow);
    EXPECT_EQ(materials.count(), 1);
    EXPECT_EQ(blendings.count(), 1);
    view.setState(VisualEffectView::State::inactive);
    view.updateEffect(Material::hudWindow, Blending::withinWindow);
    EXPECT_EQ(view.material(), Material::hudWindow);
    EXPECT_EQ(view.blendingMode(), Blending::withinWindow);
    EXPECT_EQ(view.state(), VisualEffectView::State::inactive);
    EXPECT_EQ(states.count(), 1);

    VisualEffectBlur blur(Material::popover, Blending::withinWindow);
    EXPECT_EQ(blur.state(), VisualEffectView::State::active);
}

TEST_F(BackdropTest, TintIsTranslucentOnlyOverABlurredBackdrop)
{
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        VisualEffectView view(Material::popover, Blending::behindWindow);
        view.setPalette(palette);
        view.resize(60, 40);
        const QRgb glass = grabTranslucent(view).pixel(30, 20);
        EXPECT_GT(qAlpha(glass), 150);
        EXPECT_LT(qAlpha(glass), 255);
        Appearance::shared().setReduceTransparency(true);
        EXPECT_EQ(qAlpha(grabTranslucent(view).pixel(30, 20)), 255);
        Appearance::shared().setReduceTransparency(false);
        Appearance::shared().setBlurBehind(false);
        EXPECT_EQ(qAlpha(grabTranslucent(view).pixel(30, 20)), 255) << "unblurred text would show through";
        Appearance::shared().setBlurBehind(true);
    }
}

TEST_F(BackdropTest, FloatingWindowRoundsItsCornersTintsBySchemeAndCastsShadowsBelow)
{
    QWidget light;
    light.setPalette(lightPalette());
    FloatingWindowBackground* lightBackground = floatingWindowStyle(&light);
    QWidget dark;
    dark.setPalette(darkPalette());
    FloatingWindowBackground* darkBackground = floatingWindowStyle(&dark);
    EXPECT_DOUBLE_EQ(lightBackground->controlTintOpacity(), 0.4);
    EXPECT_DOUBLE_EQ(lightBackground->sheenOpacity(), 0.15);
    EXPECT_DOUBLE_EQ(darkBackground->controlTintOpacity(), 0.2);
    EXPECT_DOUBLE_EQ(darkBackground->sheenOpacity(), 0.1);

    dark.resize(160, 100);
    QImage image = grabTranslucent(dark);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(159, 99)), 0);
    EXPECT_GT(qAlpha(image.pixel(80, 50)), 200);
    EXPECT_LT(QColor::fromRgba(image.pixel(80, 50)).lightness(), 90);

    // With room around it, shadows show below (6 and 2 px down), less above.
    dark.setContentsMargins(20, 20, 20, 20);
    QApplication::processEvents();
    image = grabTranslucent(dark);
    EXPECT_GT(qAlpha(image.pixel(80, 100 - 20 + 6)), qAlpha(image.pixel(80, 20 - 6)));
    EXPECT_GT(qAlpha(image.pixel(80, 100 - 20 + 6)), 20);
}

TEST_F(BackdropTest, WindowsAreTranslucentWithACompositorAndMaskedWithoutOne)
{
    auto compositor = std::make_shared<FakeDesktopCompositor>();
    Appearance::shared().setCompositor(compositor);
    EXPECT_FALSE(Appearance::shared().reduceTransparency());
    // Nothing behind is blurred: the window keeps its rounded translucent
    // outline, the glass in it is opaque.
    EXPECT_FALSE(Appearance::shared().blurBehind());
    EXPECT_TRUE(Appearance::shared().opaqueMaterial());
    QWidget translucent;
    WindowShape::apply(&translucent, 12.0);
    translucent.resize(100, 60);
    translucent.show();
    EXPECT_TRUE(translucent.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(translucent.mask().isEmpty());

    // The compositor stops while the window is open.
    QSignalSpy changes(&Appearance::shared(), &Appearance::reduceTransparencyChanged);
    compositor->compositing = false;
    compositor->announce();
    EXPECT_TRUE(Appearance::shared().reduceTransparency());
    ASSERT_EQ(changes.count(), 1);
    EXPECT_TRUE(changes.at(0).at(0).toBool());
    EXPECT_FALSE(translucent.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(translucent.mask().contains(QPoint(50, 30)));
    // Painted opaque up to the mask's edge, where the server would show a
    // transparent pixel as black.
    EXPECT_EQ(qAlpha(translucent.grab().toImage().pixel(1, 30)), 255);

    QWidget opaque;
    WindowShape::apply(&opaque, 12.0);
    opaque.resize(100, 60);
    opaque.show();
    EXPECT_FALSE(opaque.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(opaque.mask().contains(QPoint(99, 59)));
    EXPECT_TRUE(opaque.mask().contains(QPoint(50, 30)));
    EXPECT_TRUE(opaque.mask().contains(QPoint(50, 0)));
    // The mask follows the size.
    opaque.resize(200, 60);
    EXPECT_TRUE(opaque.mask().contains(QPoint(180, 30)));

    // A compositor starts: both windows drop their masks.
    compositor->compositing = true;
    compositor->announce();
    EXPECT_FALSE(Appearance::shared().reduceTransparency());
    EXPECT_TRUE(translucent.mask().isEmpty());
    EXPECT_TRUE(opaque.mask().isEmpty());
    EXPECT_TRUE(opaque.testAttribute(Qt::WA_TranslucentBackground)) << "no alpha for the compositor to use";
    EXPECT_EQ(qAlpha(opaque.grab().toImage().pixel(0, 0)), 0);
}

TEST_F(BackdropTest, SchemeComesFromTheApplicationPalette)
{
    const QPalette original = QGuiApplication::palette();
    QSignalSpy changes(&Appearance::shared(), &Appearance::darkSchemeChanged);
    QApplication::setPalette(darkPalette());
    QApplication::processEvents();
    EXPECT_TRUE(Appearance::shared().darkScheme());
    QApplication::setPalette(lightPalette());
    QApplication::processEvents();
    EXPECT_FALSE(Appearance::shared().darkScheme());
    EXPECT_GE(changes.count(), 2);
    QApplication::setPalette(original);
    EXPECT_EQ(colorSchemeOf(darkPalette()), ColorScheme::dark);
    EXPECT_EQ(colorSchemeOf(lightPalette()), ColorScheme::light);
}

} // namespace
