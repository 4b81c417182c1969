// The popover panel resized by its edge with the pointer, on a desktop
// with a window manager: the window manager does the resizing.
#include "shell/tray/PopoverPanel.h"
#include "support/EventLoop.h"
#include "support/ToolRun.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

bool pointer(const QStringList& arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments);
}

// Counts the presses and releases a widget gets.
class PressCount : public QObject {
public:
    int presses = 0;
    int releases = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            ++presses;
        else if (event->type() == QEvent::MouseButtonRelease)
            ++releases;
        return false;
    }
};

TEST(PopoverPanelOnX11, DraggingTheRightEdgeWidensItAndTheTopStays)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs the private test session";
    PopoverPanel panel;
    panel.placeAt(QPoint(200, 200));
    panel.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel, 10000));
    ASSERT_TRUE(pumpUntil([&] { return panel.geometry().topLeft() == QPoint(200, 200); }, 10000));
    const QRect before = panel.geometry();

    const QPoint edge(before.right() - 1, before.center().y());
    ASSERT_TRUE(pointer({"mousemove", "--sync", QString::number(edge.x()), QString::number(edge.y())}));
    PressCount count;
    panel.installEventFilter(&count);
    ASSERT_TRUE(pointer({"mousedown", "1"}));
    // The press reaches the panel, which hands the drag to the window
    // manager. The window manager handles its requests in order: once it
    // has moved another window on a later request, it has taken the drag.
    ASSERT_TRUE(pumpUntil([&] { return count.presses > 0; }, 10000));
    QWidget other;
    other.setGeometry(20, 20, 40, 40);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other, 10000));
    ASSERT_TRUE(pointer({"windowmove", "--sync", QString::number(other.winId()), "30", "30"}));
    ASSERT_TRUE(pointer({"mousemove", "--sync", QString::number(edge.x() + 80), QString::number(edge.y())}));
    const bool widened = pumpUntil([&] { return panel.width() >= before.width() + 60; }, 10000);
    pointer({"mouseup", "1"});
    ASSERT_TRUE(widened) << panel.width();
    // The window manager kept the release; the panel still learns that the
    // button is up, or its next click would not count.
    EXPECT_TRUE(pumpUntil([&] { return count.releases > 0; }, 10000));
    EXPECT_EQ(panel.height(), before.height());
    EXPECT_EQ(panel.geometry().topLeft(), before.topLeft());
}

} // namespace
