#include "ThemeFixture.h"

#include "support/EventLoop.h"

#include "shell/theme/GlassBadge.h"
#include "shell/theme/GlassButton.h"
#include "shell/theme/HoverEffect.h"

#include <QApplication>
#include <QEnterEvent>
#include <QTest>

namespace {

using GlassButtonTest = ThemeTest;

void enter(QWidget& widget)
{
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&widget, &event);
}

void leave(QWidget& widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&widget, &event);
}

// Width of the painted capsule along the middle row.
int capsuleWidth(GlassButton& button)
{
    const QImage image = grabTranslucent(button);
    const int y = image.height() / 2;
    int left = -1;
    int right = -1;
    for (int x = 0; x < image.width(); ++x) {
        if (qAlpha(image.pixel(x, y)) > 128) {
            if (left < 0)
                left = x;
            right = x;
        }
    }
    return left < 0 ? 0 : right - left + 1;
}

TEST_F(GlassButtonTest, HoverGrowsAndPressShrinksAndTheTwoMultiply)
{
    Motion::setDurationScale(0.0);
    GlassButton button(QStringLiteral("Continue"), QString());
    button.resize(button.sizeHint());
    const int rest = capsuleWidth(button);
    ASSERT_GT(rest, 40);

    enter(button);
    EXPECT_DOUBLE_EQ(button.currentScale(), 1.05);
    EXPECT_NEAR(capsuleWidth(button), rest * 1.05, 2.0);

    button.setDown(true);
    EXPECT_DOUBLE_EQ(button.currentScale(), 1.05 * 0.95);
    leave(button);
    EXPECT_DOUBLE_EQ(button.currentScale(), 0.95);
    EXPECT_NEAR(capsuleWidth(button), rest * 0.95, 2.0);

    button.setDown(false);
    EXPECT_DOUBLE_EQ(button.currentScale(), 1.0);
    EXPECT_NEAR(capsuleWidth(button), rest, 1.0);
}

TEST_F(GlassButtonTest, HoverGrowthIsAnimatedWhilePressIsImmediate)
{
    GlassButton button(QStringLiteral("Download"), QStringLiteral("arrow.down.circle.fill"));
    button.show();
    enter(button);
    // Not there yet: the growth runs over the ease-in-out's time.
    EXPECT_LT(button.currentScale(), 1.05);
    EXPECT_TRUE(button.hoverEffect()->isHovered());
    ASSERT_TRUE(pumpUntil([&] { return button.currentScale() == 1.05; }));

    button.setDown(true);
    EXPECT_DOUBLE_EQ(button.currentScale(), 1.05 * 0.95);
    button.setDown(false);
    leave(button);
    ASSERT_TRUE(pumpUntil([&] { return button.currentScale() == 1.0; }));
}

TEST_F(GlassButtonTest, RunsItsActionFromMouseAndKeyboardAndIsNamedForAccessibility)
{
    int runs = 0;
    GlassButton button(QStringLiteral("Continue"), QString(), [&] { ++runs; });
    EXPECT_EQ(button.accessibleName(), QStringLiteral("Continue"));
    EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
    button.resize(button.sizeHint());
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton, {}, button.rect().center());
    EXPECT_EQ(runs, 1);
    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    QTest::keyClick(&button, Qt::Key_Return);
    EXPECT_EQ(runs, 3);
    button.setEnabled(false);
    QTest::keyClick(&button, Qt::Key_Return);
    EXPECT_EQ(runs, 3);
}

TEST_F(GlassButtonTest, WithoutASymbolTheTitleStandsAloneAndCentred)
{
    GlassButton plain(QStringLiteral("Continue"), QString());
    GlassButton withSymbol(QStringLiteral("Continue"), QStringLiteral("checkmark"));
    // The symbol and its 8-px gap add width; nothing else changes.
    const int added = withSymbol.sizeHint().width() - plain.sizeHint().width();
    EXPECT_GE(added, 15 + 8);
    EXPECT_LE(added, 15 + 8 + 2); // the hover room grows with the capsule

    // The white title sits in the middle of the capsule on both sides equally.
    plain.resize(plain.sizeHint());
    const QImage image = grabTranslucent(plain);
    const int y = image.height() / 2;
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = QColor::fromRgba(image.pixel(x, y));
        if (c.alpha() > 200 && c.lightness() > 235) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    ASSERT_GE(first, 0);
    EXPECT_NEAR(first - 0, image.width() - 1 - last, 8);
}

TEST_F(GlassButtonTest, BadgeIsAPaddedCapsuleNamedByItsText)
{
    GlassBadge badge(QStringLiteral("English"), QColor(30, 100, 220));
    EXPECT_EQ(badge.accessibleName(), QStringLiteral("English"));
    const QFontMetrics metrics(badge.font());
    EXPECT_EQ(badge.font().pixelSize(), 10);
    EXPECT_EQ(badge.sizeHint(), QSize(metrics.horizontalAdvance(QStringLiteral("English")) + 16, metrics.height() + 8));
    badge.setText(QStringLiteral("New"));
    EXPECT_EQ(badge.accessibleName(), QStringLiteral("New"));
    badge.resize(badge.sizeHint());
    const QImage image = grabTranslucent(badge);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    // The colour under the white overlay: lighter than the colour itself.
    const QColor edge = QColor::fromRgba(image.pixel(image.width() / 2, 1));
    EXPECT_GT(edge.blue(), 220);
    EXPECT_GT(edge.red(), 30);
}

} // namespace
