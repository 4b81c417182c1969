// The tool's windows on one 2560 x 800 screen split into two monitors (see
// tests/CMakeLists.txt), with the tray on the second: each opens on the
// monitor the user works on, not always on the first.
#include "app/LinuxPlatformServices.h"
#include "controller/AppDelegate.h"
#include "core/speech/ModelManager.h"
#include "platform/FrontmostApplication.h"
#include "platform/TrayIcon.h"
#include "shell/indicator/IndicatorPlacement.h"
#include "shell/indicator/RecordingIndicatorPanel.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "shell/windows/SettingsWindow.h"
#include "support/EventLoop.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/WindowGeometry.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace {

// Shown, and active: Qt activates a window once it is mapped, which may
// come after the X server shows it, and would take the focus back from a
// window the test activates meanwhile.
template <typename Window> Window* active()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<Window*>(window); found && found->isActiveWindow())
            return found;
    return nullptr;
}

template <typename Window> Window* shown()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<Window*>(window);
            found && found->isVisible() && !windowGeometry(QString::number(found->winId())).isEmpty())
            return found;
    return nullptr;
}

bool movePointer(int x, int y)
{
    return QProcess::execute("xdotool", {"mousemove", "--sync", QString::number(x), QString::number(y)}) == 0;
}

// Whether the window lies on `monitor` and is centred on its free area
// (give or take the window manager's frame).
::testing::AssertionResult centredOn(QWidget* window, const QScreen* monitor)
{
    const QRect onScreen = windowGeometry(QString::number(window->winId()));
    const QPoint offCentre = onScreen.center() - monitor->availableGeometry().center();
    if (monitor->geometry().contains(onScreen) && std::abs(offCentre.x()) <= 20 && std::abs(offCentre.y()) <= 30)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at " << onScreen.x() << "," << onScreen.y() << " " << onScreen.width()
                                         << "x" << onScreen.height();
}

class WindowsOnTwoMonitors : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the private test session";
        ASSERT_EQ(QGuiApplication::screens().size(), 2) << "the session has no second monitor";
        first = QGuiApplication::screenAt(QPoint(100, 100));
        second = QGuiApplication::screenAt(QPoint(1400, 100));
        ASSERT_TRUE(first && second && first != second);
        // No model: the first launch's welcome window.
        QDir(ModelManager::shared().modelsDirectory()).removeRecursively();

        tray.start("trayer",
            {"--monitor", "1", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                "--SetDockType", "true", "--SetPartialStrut", "true"});
        ASSERT_TRUE(tray.waitForStarted(Patience::reply));
        ASSERT_TRUE(pumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, Patience::reply));

        services = makeLinuxPlatformServices();
        services.alertPresenter = std::make_shared<FakeAlertPresenter>();
        services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
    }

    void TearDown() override
    {
        stopProcess(terminal, 3000);
        stopProcess(tray, 3000);
        DefaultsTest::TearDown();
    }

    // An application without text fields to work in: a terminal.
    QString startTerminal()
    {
        terminal.start("xterm", {"-geometry", "60x20+100+100"});
        if (!terminal.waitForStarted(Patience::reply))
            return {};
        QProcess search;
        search.start("xdotool", {"search", "--sync", "--pid", QString::number(terminal.processId())});
        search.waitForFinished(Patience::reply);
        return QString::fromLatin1(search.readAllStandardOutput().split('\n').constFirst().trimmed());
    }

    QProcess tray;
    QProcess terminal;
    PlatformServices services;
    QScreen* first = nullptr;
    QScreen* second = nullptr;
};

} // namespace

TEST_F(WindowsOnTwoMonitors, OpenWhereTheUserWorksAndSettingsWhereTheTrayIs)
{
    // No window active, the pointer on the second monitor: the welcome
    // window opens there.
    ASSERT_TRUE(movePointer(1900, 400));
    AppDelegate controller(services);
    controller.applicationDidFinishLaunching();
    ASSERT_TRUE(pumpUntil([] { return shown<FirstLaunchWindow>() && active<FirstLaunchWindow>(); }, Patience::reply));
    EXPECT_TRUE(centredOn(shown<FirstLaunchWindow>(), second));

    // A terminal active on the first monitor, the pointer there too:
    // Settings, opened from the tray icon, still opens on the icon's monitor.
    const QString terminalWindow = startTerminal();
    ASSERT_FALSE(terminalWindow.isEmpty());
    ASSERT_TRUE(activateWindow(terminalWindow));
    ASSERT_TRUE(movePointer(400, 400));
    ASSERT_TRUE(
        pumpUntil([&] { return services.trayIcon->isVisible() && services.trayIcon->geometry().center().x() > 1280; },
            Patience::reply))
        << "the icon did not dock on the second monitor";
    controller.showSettings();
    ASSERT_TRUE(pumpUntil([] { return shown<SettingsWindow>() && active<SettingsWindow>(); }, Patience::reply));
    EXPECT_TRUE(centredOn(shown<SettingsWindow>(), second));

    // The terminal moved to the second monitor and active, the pointer on
    // the first: the indicator without a field shows on the second, centred
    // a third of the way down.
    ASSERT_EQ(QProcess::execute("xdotool", {"windowmove", "--sync", terminalWindow, "1500", "200"}), 0);
    ASSERT_TRUE(activateWindow(terminalWindow));
    std::optional<ActiveWindowGeometry> front;
    ASSERT_TRUE(pumpUntil(
        [&] {
            front = services.frontmostApplication->windowGeometry();
            return front && second->geometry().contains(front->frame.center())
                && services.frontmostApplication->processId() == terminal.processId();
        },
        Patience::reply))
        << "active: " << services.frontmostApplication->processId().value_or(0) << " at "
        << (front ? front->frame.x() : -1) << "," << (front ? front->frame.y() : -1) << "; terminal "
        << terminal.processId();
    controller.showFocusIndicator();
    ASSERT_TRUE(pumpUntil([] { return shown<RecordingIndicatorPanel>() != nullptr; }, Patience::reply));
    RecordingIndicatorPanel* panel = shown<RecordingIndicatorPanel>();
    const QPoint expected =
        IndicatorPlacement::originFor(panel->size(), std::nullopt, IndicatorPlacement::desktopScreens(second));
    EXPECT_EQ(windowGeometry(QString::number(panel->winId())).topLeft(), expected);
    EXPECT_TRUE(second->geometry().contains(panel->geometry()));
    controller.hideFocusIndicator();
    controller.applicationWillTerminate();
}
