#include "shell/indicator/RecordingIndicatorPanel.h"
#include "shell/indicator/RecordingProgressView.h"

#include "theme/ThemeFixture.h"

#include <QApplication>

#include <gtest/gtest.h>

using IndicatorPlacement::Screen;

namespace {

const Screen primary{QRect(0, 0, 1280, 800), QRect(0, 30, 1280, 770)};
const Screen second{QRect(1280, 0, 1920, 1080), QRect(1280, 0, 1920, 1040)};

class RecordingIndicatorPanelTest : public ThemeTest {
protected:
    RecordingIndicatorPanel panel{nullptr, [] { return std::vector<Screen>{primary, second}; }};
};

} // namespace

TEST_F(RecordingIndicatorPanelTest, AFramelessWindowThatNeverTakesTheFocus)
{
    const Qt::WindowFlags flags = panel.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    ASSERT_NE(panel.view(), nullptr);

    QWidget focused;
    focused.setFocusPolicy(Qt::StrongFocus);
    focused.show();
    focused.activateWindow();
    focused.setFocus();
    panel.showNear(QRectF(500, 300, 200, 30));
    EXPECT_TRUE(panel.isVisible());
    EXPECT_NE(QApplication::activeWindow(), &panel);
    EXPECT_FALSE(panel.isActiveWindow());
}

TEST_F(RecordingIndicatorPanelTest, FollowsTheFieldAboveBelowOnItsScreenAndFallsBackWithoutOne)
{
    panel.showNear(QRectF(500, 300, 200, 30));
    EXPECT_EQ(panel.pos(), QPoint(490, 300 - 8 - 56));
    // No room above under the top panel: below the field.
    panel.showNear(QRectF(500, 60, 200, 30));
    EXPECT_EQ(panel.pos(), QPoint(490, 60 + 30 + 8));
    // A field at the right edge of the second screen is kept on that screen.
    panel.showNear(QRectF(3150, 500, 50, 30));
    EXPECT_EQ(panel.pos(), QPoint(1280 + 1920 - 220 - 10, 500 - 8 - 56));
    // No field: centred on the primary screen, bottom edge a third down.
    panel.showNear(std::nullopt);
    EXPECT_EQ(panel.pos(), QPoint(640 - 110, 800 / 3 - 56 + 1));
    EXPECT_TRUE(panel.isVisible());

    panel.hideIndicator();
    EXPECT_FALSE(panel.isVisible());
    RecordingProgressView* view = panel.view();
    panel.showNear(QRectF(500, 300, 200, 30));
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.view(), view) << "the content is kept for the next recording";
}
