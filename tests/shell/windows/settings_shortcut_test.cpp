#include "shell/ShellHost.h"
#include "shell/tray/StatusMenu.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "shell/windows/SettingsWindow.h"
#include "support/Patience.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace {

class CountingHost final : public ShellHost {
public:
    void togglePopover(TrayClick) override { }
    void showSettings() override { ++settings; }
    void checkForUpdates() override { }
    void windowDidMove(QWidget*) override { }
    void windowWillClose(QWidget*) override { }

    int settings = 0;
};

// Ctrl+, pressed in `window` once it is the active window.
void pressControlComma(QWidget* window)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(target, Qt::Key_Comma, Qt::ControlModifier);
}

} // namespace

// Settings opens with Ctrl+, from whichever of the tool's windows has the
// focus, the tray menu included, which closes on the way.
TEST(SettingsShortcut, ControlCommaOpensSettingsFromEveryWindow)
{
    CountingHost host;

    SettingsWindow settings(&host);
    settings.show();
    pressControlComma(&settings);
    EXPECT_EQ(host.settings, 1);

    QPointer<FirstLaunchWindow> welcome = new FirstLaunchWindow(new QLabel(QStringLiteral("welcome")), &host);
    welcome->present();
    pressControlComma(welcome);
    EXPECT_EQ(host.settings, 2);
    delete welcome.data();

    QPointer<QMenu> menu = StatusMenu::build(host);
    menu->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::keyClick(menu, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(host.settings, 3);
    EXPECT_TRUE(!menu || !menu->isVisible());
    delete menu.data();
}

// Ctrl+Q in the open tray menu closes it and ends the application's event
// loop, as "Quit" shows.
TEST(SettingsShortcut, ControlQInTheTrayMenuQuits)
{
    CountingHost host;
    QPointer<QMenu> menu = StatusMenu::build(host);
    menu->popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTimer::singleShot(0, menu, [menu] { QTest::keyClick(menu, Qt::Key_Q, Qt::ControlModifier); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    watchdog.start(Patience::reply);
    EXPECT_EQ(QCoreApplication::exec(), 0) << "Ctrl+Q did not quit";
    EXPECT_TRUE(!menu || !menu->isVisible());
    EXPECT_EQ(host.settings, 0);
    delete menu.data();
}
