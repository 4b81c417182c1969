// What a screen reader finds when it walks the application from its root:
// open pop-ups as well as windows, and top-level widgets as windows.
#include "shell/windows/AccessibleWindows.h"

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class AccessibleWindowsTest : public ::testing::Test {
protected:
    void SetUp() override { AccessibleWindows::install(); }

    static QList<QObject*> applicationChildren()
    {
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(qApp);
        QList<QObject*> objects;
        for (int index = 0; index < root->childCount(); ++index)
            objects.append(root->child(index)->object());
        return objects;
    }
};

} // namespace

TEST_F(AccessibleWindowsTest, AnOpenMenuIsAChildOfTheApplicationUntilItCloses)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Main"));
    window.show();
    QMenu menu;
    menu.addAction(QStringLiteral("One"));
    menu.addAction(QStringLiteral("Two"));
    EXPECT_FALSE(applicationChildren().contains(&menu));

    menu.popup(QPoint(20, 20));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QList<QObject*> open = applicationChildren();
    EXPECT_TRUE(open.contains(&menu));
    EXPECT_TRUE(open.contains(&window));
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(qApp);
    QAccessibleInterface* listed = QAccessible::queryAccessibleInterface(&menu);
    EXPECT_EQ(root->child(root->indexOfChild(listed))->object(), &menu);
    EXPECT_EQ(listed->childCount(), 2);

    menu.hide();
    EXPECT_FALSE(applicationChildren().contains(&menu));
    EXPECT_TRUE(applicationChildren().contains(&window));
}

TEST_F(AccessibleWindowsTest, ATopLevelWidgetIsAWindowNamedByItsTitleAndStopsBeingOneInsideAnother)
{
    QWidget window;
    window.setWindowTitle(QStringLiteral("Settings"));
    QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&window);
    EXPECT_EQ(frame->role(), QAccessible::Window);
    EXPECT_EQ(frame->text(QAccessible::Name), QStringLiteral("Settings"));

    // A view made on its own, its interface asked for, then placed.
    auto* view = new QWidget;
    view->setAccessibleName(QStringLiteral("Content"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view)->role(), QAccessible::Window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(view);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view)->role(), QAccessible::Client);
}
