#include "shell/tray/BackgroundDrag.h"
#include "shell/windows/WindowHost.h"
#include "shell/windows/WindowManager.h"

#include "base/Defaults.h"
#include "support/SettingsReset.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

struct CountingHost : WindowHost {
    void showSettings() override { ++settingsShown; }
    int settingsShown = 0;
};

class WindowManagerTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        manager().closeAllWindows();
        manager().setApplicationDelegate(&host);
    }
    void TearDown() override
    {
        manager().setApplicationDelegate(nullptr);
        manager().closeAllWindows();
        DefaultsTest::TearDown();
    }
    static WindowManager& manager() { return WindowManager::shared(); }

    CountingHost host;
};

} // namespace

TEST(WindowType, RawValuesRoundTripAndUnknownTextIsRefused)
{
    for (WindowType type : WindowType::allCases())
        EXPECT_EQ(WindowType::fromRawValue(type.rawValue()), type);
    EXPECT_FALSE(WindowType::fromRawValue("Settings").has_value());
    EXPECT_FALSE(WindowType::fromRawValue("").has_value());
}

TEST_F(WindowManagerTest, OpeningListsEveryKindButShowsOnlySettings)
{
    QSignalSpy changes(&manager(), &WindowManager::openWindowsChanged);
    manager().openWindow(WindowType::popover);
    EXPECT_TRUE(manager().isWindowOpen(WindowType::popover));
    EXPECT_EQ(host.settingsShown, 0);
    manager().openWindow(WindowType::settings);
    manager().openWindow(WindowType::settings);
    EXPECT_EQ(host.settingsShown, 2);
    EXPECT_EQ(manager().openWindows(), (QSet<WindowType>{WindowType::settings, WindowType::popover}));
    EXPECT_EQ(changes.count(), 3);

    // Without a controller nothing is shown, yet the kind is listed.
    manager().setApplicationDelegate(nullptr);
    manager().openWindow(WindowType::settings);
    EXPECT_EQ(host.settingsShown, 2);
}

TEST_F(WindowManagerTest, ClosingClosesTheConfiguredWindowAndForgetsIt)
{
    QWidget window;
    manager().applyConfiguration(WindowConfiguration::configuration(WindowType::firstLaunch), &window);
    window.show();
    manager().openWindow(WindowType::firstLaunch);
    manager().openWindow(WindowType::recordingProgress);
    manager().closeAllWindows();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(manager().openWindows().isEmpty());
    EXPECT_EQ(manager().window(WindowType::firstLaunch), nullptr);
    // A kind without a window still leaves the list.
    manager().openWindow(WindowType::streamingProgress);
    manager().closeWindow(WindowType::streamingProgress);
    EXPECT_FALSE(manager().isWindowOpen(WindowType::streamingProgress));
}

TEST_F(WindowManagerTest, AFrameOutsideTheScreenIsMovedInsideKeepingItsSize)
{
    const QRect bounds(0, 25, 1440, 875);
    EXPECT_EQ(WindowManager::clampedFrame({-200, 50, 400, 300}, bounds), QRect(0, 50, 400, 300));
    EXPECT_EQ(WindowManager::clampedFrame({1300, 50, 400, 300}, bounds), QRect(1040, 50, 400, 300));
    EXPECT_EQ(WindowManager::clampedFrame({300, 800, 400, 300}, bounds), QRect(300, 600, 400, 300));
    // Wider or taller than the screen: pinned to the near edge, size kept.
    EXPECT_EQ(WindowManager::clampedFrame({500, 100, 2000, 300}, bounds), QRect(0, 100, 2000, 300));
    EXPECT_EQ(WindowManager::clampedFrame({500, 100, 400, 1000}, bounds), QRect(500, 25, 400, 1000));

    // A saved frame far off every screen is brought back, size kept.
    QWidget window;
    const QRect screen = window.screen()->availableGeometry();
    Defaults::setValue("WindowPosition_settings", WindowManager::frameString({screen.right() + 500, -900, 300, 200}));
    manager().restoreWindowPosition(&window, WindowType::settings);
    EXPECT_TRUE(screen.contains(window.geometry())) << window.geometry().x() << "," << window.geometry().y();
    EXPECT_EQ(window.size(), QSize(300, 200));
}

TEST_F(WindowManagerTest, SavedFramesRoundTripAndBadTextIsIgnored)
{
    EXPECT_EQ(
        WindowManager::frameFromString(WindowManager::frameString({-20, 40, 300, 200})), QRect(-20, 40, 300, 200));
    EXPECT_EQ(WindowManager::frameFromString("{{10.4, 20.6}, {300, 200}}"), QRect(10, 21, 300, 200));
    for (const QString& bad : {QString(""), QString("{{1, 2}, {3}}"), QString("{{a, 2}, {3, 4}}"),
             QString("{{1, 2}, {-3, 4}}"), QString("{{nan, 2}, {3, 4}}"), QString("{{1e300, 2}, {3, 4}}")})
        EXPECT_FALSE(WindowManager::frameFromString(bad).has_value()) << bad.toStdString();

    QWidget window;
    const QRect screen = window.screen()->availableGeometry();
    window.setGeometry(screen.x() + 30, screen.y() + 40, 320, 200);
    manager().saveWindowPosition(&window, WindowType::settings);
    EXPECT_EQ(Defaults::value("WindowPosition_settings").toString(), WindowManager::frameString(window.geometry()));

    QWidget other;
    other.setGeometry(screen.x() + 5, screen.y() + 5, 100, 100);
    manager().restoreWindowPosition(&other, WindowType::settings);
    EXPECT_EQ(other.geometry(), QRect(screen.x() + 30, screen.y() + 40, 320, 200));

    // Nothing saved, or unreadable text: the window stays where it is.
    manager().restoreWindowPosition(&other, WindowType::popover);
    Defaults::setValue("WindowPosition_firstLaunch", "garbage");
    manager().restoreWindowPosition(&other, WindowType::firstLaunch);
    EXPECT_EQ(other.geometry(), QRect(screen.x() + 30, screen.y() + 40, 320, 200));
}

TEST_F(WindowManagerTest, FloatingConfigurationMakesAPanelThatNeverTakesFocus)
{
    QWidget window;
    manager().applyConfiguration(WindowConfiguration::configuration(WindowType::recordingProgress), &window);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(window.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(manager().window(WindowType::recordingProgress), &window);

    // It stays when the tool loses the focus; the popover does not.
    QWidget popover;
    manager().applyConfiguration(WindowConfiguration::configuration(WindowType::popover), &popover);
    window.show();
    popover.show();
    QMetaObject::invokeMethod(qGuiApp, "applicationStateChanged", Q_ARG(Qt::ApplicationState, Qt::ApplicationInactive));
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(popover.isVisible());
}

// Only a window configured as movable follows a drag of its background.
TEST_F(WindowManagerTest, AWindowConfiguredAsNotMovableStaysWhenItsBackgroundIsDragged)
{
    // Each event is made once the one before it is handled: events of one
    // pointing device share their point.
    const auto dragBy = [](QWidget& window, QPoint distance) {
        BackgroundDrag drag;
        const QPointF start = window.geometry().center();
        const QPointF local(10, 10);
        QMouseEvent press(QEvent::MouseButtonPress, local, start, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        drag.press(&window, &press);
        QMouseEvent move(
            QEvent::MouseMove, local + distance, start + distance, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        drag.move(&window, &move);
        drag.release();
    };
    QWidget window;
    WindowConfiguration configuration = WindowConfiguration::configuration(WindowType::recordingProgress);
    manager().applyConfiguration(configuration, &window);
    window.move(100, 100);
    dragBy(window, {30, 20});
    EXPECT_EQ(window.pos(), QPoint(130, 120));

    configuration.movable = false;
    manager().applyConfiguration(configuration, &window);
    window.move(100, 100);
    dragBy(window, {30, 20});
    EXPECT_EQ(window.pos(), QPoint(100, 100));
}
