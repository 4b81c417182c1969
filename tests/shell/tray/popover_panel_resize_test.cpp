#include "shell/tray/EdgeResize.h"
#include "shell/tray/PopoverPanel.h"

#include "shell/theme/Motion.h"
#include "shell/theme/MotionTransaction.h"
#include "shell/theme/SpringAnimation.h"

#include <QMouseEvent>
#include <QTest>
#include <QVariantAnimation>

#include <gtest/gtest.h>

namespace {

QVariantAnimation* runningResize(PopoverPanel& panel)
{
    for (QVariantAnimation* animation : panel.findChildren<QVariantAnimation*>())
        if (animation->state() == QAbstractAnimation::Running)
            return animation;
    return nullptr;
}

} // namespace

TEST(EdgeResize, EdgesAndCornersAreFoundWithinReachOnly)
{
    QWidget window;
    window.resize(380, 80);
    EXPECT_EQ(EdgeResize::edgesAt(&window, {190, 40}), Qt::Edges());
    EXPECT_EQ(EdgeResize::edgesAt(&window, {0, 40}), Qt::LeftEdge);
    EXPECT_EQ(EdgeResize::edgesAt(&window, {379, 79}), Qt::RightEdge | Qt::BottomEdge);
    EXPECT_EQ(EdgeResize::edgesAt(&window, {EdgeResize::reach, 40}), Qt::Edges());
    EXPECT_EQ(EdgeResize::edgesAt(&window, {380, 40}), Qt::Edges()) << "outside is no edge";
}

TEST(EdgeResize, TheOppositeEdgesStayAndTheSizeKeepsToItsBounds)
{
    QWidget window;
    window.setMinimumSize(380, 80);
    window.setMaximumSize(1000, 600);
    const QRect start(100, 100, 400, 200);

    // Dragged inwards past the minimum: the right and bottom edges stay.
    const QRect shrunk = EdgeResize::resized(&window, start, Qt::LeftEdge | Qt::TopEdge, {300, 300});
    EXPECT_EQ(shrunk.size(), QSize(380, 80));
    EXPECT_EQ(shrunk.bottomRight(), start.bottomRight());

    const QRect grown = EdgeResize::resized(&window, start, Qt::RightEdge | Qt::BottomEdge, {2000, 50});
    EXPECT_EQ(grown.topLeft(), start.topLeft());
    EXPECT_EQ(grown.size(), QSize(1000, 250));
}

TEST(PopoverPanelResize, ItsEdgesResizeItAndItsHeightsAreTheFloor)
{
    Motion::setDurationScale(0.0);
    PopoverPanel panel;
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    const QRect collapsed = panel.geometry();

    // Where the window manager cannot move the edge, the panel follows the
    // pointer itself.
    const QPoint edge(panel.width() - 2, panel.height() / 2);
    QTest::mousePress(&panel, Qt::LeftButton, {}, edge);
    QMouseEvent drag(QEvent::MouseMove, QPointF(edge + QPoint(60, 0)), panel.mapToGlobal(QPointF(edge + QPoint(60, 0))),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &drag);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, edge + QPoint(60, 0));
    EXPECT_EQ(panel.width(), collapsed.width() + 60);
    EXPECT_EQ(panel.pos(), collapsed.topLeft());

    panel.resizeKeepingTop(true);
    EXPECT_EQ(panel.height(), PopoverPanel::expandedHeight);
    EXPECT_EQ(panel.width(), collapsed.width() + 60) << "the user's width is kept";
    EXPECT_EQ(panel.minimumHeight(), PopoverPanel::expandedHeight) << "not smaller than the layout needs";
    panel.resizeKeepingTop(false);
    EXPECT_EQ(panel.height(), PopoverPanel::collapsedHeight);
    EXPECT_EQ(panel.minimumHeight(), PopoverPanel::collapsedHeight);
    Motion::setDurationScale(1.0);
}

TEST(PopoverPanelResize, AGrowthInsideASpringFollowsItAndRaisesTheFloorAtItsEnd)
{
    PopoverPanel panel;
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    {
        const MotionTransaction spring(TallowindTheme::Animation::defaultSpring);
        panel.resizeKeepingTop(true);
    }
    QVariantAnimation* growth = runningResize(panel);
    ASSERT_NE(growth, nullptr);
    EXPECT_NE(dynamic_cast<SpringAnimation*>(growth), nullptr);
    EXPECT_EQ(panel.minimumHeight(), PopoverPanel::collapsedHeight) << "the floor must not jump ahead of the growth";
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return panel.height() == PopoverPanel::expandedHeight && !runningResize(panel); }, 5000));
    EXPECT_EQ(panel.minimumHeight(), PopoverPanel::expandedHeight);
}
