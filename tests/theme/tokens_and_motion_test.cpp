#include "ThemeFixture.h"

#include "support/EventLoop.h"

#include "gallery/DesktopPalettes.h"
#include "shell/theme/Contrast.h"
#include "shell/theme/ParallaxEffect.h"
#include "shell/theme/RecordingProgressTheme.h"
#include "shell/theme/SpringAnimation.h"
#include "shell/theme/TallowindTheme.h"

#include <QApplication>

#include <cmath>

namespace {

using namespace TallowindTheme;
using TokensTest = ThemeTest;

struct NamedPalette {
    const char* name;
    QPalette palette;
};

QList<NamedPalette> palettes()
{
    return {{"light", lightPalette()}, {"dark", darkPalette()}, {"breeze light", breezePalette(false)},
        {"breeze dark", breezePalette(true)}};
}

bool between(int value, int a, int b)
{
    return value > std::min(a, b) && value < std::max(a, b);
}

double hueDistance(const QColor& a, const QColor& b)
{
    const double distance = std::abs(a.toHsl().hslHueF() - b.toHsl().hslHueF());
    return std::min(distance, 1.0 - distance) * 360.0;
}

// Every colour text is drawn in reads on what it is drawn on, in each
// scheme, and keeps the hue and rank it stands for.
TEST_F(TokensTest, TextColoursReachTheBarOnTheirBackgroundInEveryScheme)
{
    for (const auto& [name, palette] : palettes()) {
        SCOPED_TRACE(name);
        const QColor window = palette.color(QPalette::Window);
        const QColor ink = palette.color(QPalette::WindowText);
        EXPECT_EQ(Colors::textPrimary(palette), ink);
        const QColor secondary = Colors::textSecondary(palette);
        const QColor tertiary = Colors::textTertiary(palette);
        EXPECT_GE(Contrast::ratio(tertiary, window), Contrast::textRatio);
        EXPECT_GT(Contrast::ratio(secondary, window), Contrast::ratio(tertiary, window));
        EXPECT_TRUE(between(secondary.lightness(), ink.lightness(), window.lightness()));
        EXPECT_TRUE(between(tertiary.lightness(), ink.lightness(), window.lightness()));

        const QColor field = palette.color(QPalette::Base);
        const QColor hint = Colors::placeholderText(palette);
        EXPECT_GE(Contrast::ratio(hint, field), Contrast::textRatio);
        EXPECT_TRUE(between(hint.lightness(), ink.lightness(), field.lightness()));

        const QColor highlight = palette.color(QPalette::Highlight);
        EXPECT_GE(Contrast::ratio(Colors::accentColor(palette), window), Contrast::textRatio);
        EXPECT_LT(hueDistance(Colors::accentColor(palette), highlight), 2.0);
        const QColor fill = Contrast::over(Colors::glassOverlay(), Colors::accentFill(palette));
        EXPECT_GE(Contrast::ratio(Qt::white, fill), Contrast::textRatio);
        EXPECT_LT(hueDistance(fill, highlight), 2.0);

        const QColor red = Colors::destructiveColor(palette);
        EXPECT_GE(Contrast::ratio(red, window), Contrast::textRatio);
        EXPECT_LT(hueDistance(red, QColor(224, 62, 54)), 2.0);
    }
}

TEST_F(TokensTest, AnAccentThatAlreadyReadsIsLeftAsTheDesktopGaveIt)
{
    QPalette palette = lightPalette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0, 60, 160));
    EXPECT_EQ(Colors::accentColor(palette), palette.color(QPalette::Highlight));
}

TEST_F(TokensTest, ContrastRatiosFollowTheLuminanceScale)
{
    EXPECT_NEAR(Contrast::ratio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(Contrast::ratio(Qt::white, Qt::black), 21.0, 1e-9);
    EXPECT_NEAR(Contrast::ratio(QColor(118, 118, 118), Qt::white), 4.54, 0.01);
    EXPECT_EQ(Contrast::over(QColor(255, 255, 255, 0), Qt::black), QColor(Qt::black));
    EXPECT_EQ(Contrast::over(QColor(255, 0, 0), Qt::black), QColor(Qt::red));
    // An impossible target goes as far as the scale does.
    EXPECT_EQ(Contrast::reaching(QColor(128, 128, 128), Qt::white, 30.0).lightness(), 0);
    EXPECT_EQ(Contrast::reaching(QColor(128, 128, 128), Qt::black, 30.0).lightness(), 255);
}

TEST_F(TokensTest, EaseInOutStartsAndEndsSlowly)
{
    const TimingCurve timing = Animation::easeInOut();
    EXPECT_DOUBLE_EQ(timing.seconds, 0.2);
    EXPECT_NEAR(timing.curve.valueForProgress(0.5), 0.5, 0.01);
    EXPECT_LT(timing.curve.valueForProgress(0.2), 0.2);
    EXPECT_GT(timing.curve.valueForProgress(0.8), 0.8);
    EXPECT_DOUBLE_EQ(timing.curve.valueForProgress(1.0), 1.0);
}

TEST_F(TokensTest, ParallaxMovesByOffsetTimesIntensity)
{
    const QPointF moved = parallaxEffect(QSizeF(0.5, -0.2));
    EXPECT_NEAR(moved.x(), 5.0, 1e-9);
    EXPECT_NEAR(moved.y(), -2.0, 1e-9); // up
    EXPECT_EQ(parallaxEffect(QSizeF(1, 1), 3), QPointF(3, 3));
}

double largest(const SpringEasing& spring)
{
    double peak = 0.0;
    for (double t = 0.0; t < 3.0; t += 0.001)
        peak = std::max(peak, spring.valueAt(t));
    return peak;
}

TEST_F(TokensTest, SpringsStartAtRestOvershootWhenUnderdampedAndSettle)
{
    const SpringEasing standard(Animation::defaultSpring);
    EXPECT_DOUBLE_EQ(standard.valueAt(0.0), 0.0);
    EXPECT_GT(largest(standard), 1.0);
    EXPECT_LT(largest(standard), 1.05);
    const double settle = standard.settlingSeconds();
    EXPECT_GT(settle, 0.2);
    EXPECT_LT(settle, 1.0);
    for (double t = settle; t < settle + 2.0; t += 0.01)
        ASSERT_NEAR(standard.valueAt(t), 1.0, 1e-3);

    // The same spring given by mass, stiffness and damping coefficient.
    const double omega = 2.0 * M_PI / 0.3;
    const SpringEasing physical(1.0, omega * omega, 2.0 * 0.8 * omega);
    for (double t = 0.0; t < 1.0; t += 0.05)
        EXPECT_NEAR(physical.valueAt(t), standard.valueAt(t), 1e-9);

    // Critically damped and overdamped springs never pass the target.
    EXPECT_LE(largest(SpringEasing(SpringParameters{0.3, 1.0})), 1.0 + 1e-9);
    EXPECT_LE(largest(SpringEasing(SpringParameters{0.3, 1.6})), 1.0 + 1e-9);
    // The level meter's bars: stiffness 250, damping 15 bounce visibly.
    EXPECT_GT(largest(SpringEasing(1.0, 250.0, 15.0)), 1.1);
}

TEST_F(TokensTest, AnimationLengthsFollowTheMotionScale)
{
    EXPECT_EQ(Motion::milliseconds(0.2), 200);
    Motion::setDurationScale(0.5);
    EXPECT_EQ(Motion::milliseconds(0.2), 100);

    Motion::setDurationScale(0.0);
    SpringAnimation jump{SpringEasing(Animation::defaultSpring)};
    jump.setStartValue(0.0);
    jump.setEndValue(10.0);
    jump.start();
    EXPECT_EQ(jump.state(), QAbstractAnimation::Stopped);
    EXPECT_DOUBLE_EQ(jump.currentValue().toDouble(), 10.0);

    Motion::setDurationScale(1.0);
    SpringAnimation spring{SpringEasing(Animation::defaultSpring)};
    EXPECT_EQ(spring.duration(), Motion::milliseconds(spring.spring().settlingSeconds()));
    spring.setStartValue(QPointF(0, 0));
    spring.setEndValue(QPointF(0, 100));
    // Past the target near the undamped half period, then settled at it.
    spring.setCurrentTime(250);
    EXPECT_GT(spring.currentValue().toPointF().y(), 101.0);
    spring.start();
    ASSERT_TRUE(pumpUntil([&] { return spring.state() == QAbstractAnimation::Stopped; }));
    EXPECT_EQ(spring.currentValue().toPointF(), QPointF(0, 100));
}

} // namespace
