#include "app/LinuxPlatformServices.h"
#include "base/Dispatch.h"
#include "controller/AppDelegate.h"
#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "platform/x11/X11TaskbarVisibility.h"
#include "recording/RecordingManager.h"
#include "settings/SettingsView.h"
#include "settings/tabs/RecordingsTab.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "shell/windows/SettingsWindow.h"
#include "support/DesktopWatch.h"
#include "support/EventLoop.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/WindowGeometry.h"
#include "support/XTestKeyboard.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

// After gtest: Xlib's None macro clashes with a gtest type.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <set>
#include <string>

namespace {

// The window's state as another client (a taskbar) reads it.
std::set<std::string> stateOf(WId window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::set<std::string> names;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), 0, 1024, False, XA_ATOM,
            &type, &format, &count, &remaining, &data)
            == Success
        && data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            char* name = XGetAtomName(display, atoms[i]);
            names.insert(name);
            XFree(name);
        }
    }
    if (data)
        XFree(data);
    XCloseDisplay(display);
    return names;
}

std::string described(WId window)
{
    std::string text;
    for (const std::string& name : stateOf(window))
        text += name + " ";
    return text;
}

bool skipsBoth(WId window)
{
    const std::set<std::string> state = stateOf(window);
    return state.contains("_NET_WM_STATE_SKIP_TASKBAR") && state.contains("_NET_WM_STATE_SKIP_PAGER");
}

bool skipsNeither(WId window)
{
    const std::set<std::string> state = stateOf(window);
    return !state.contains("_NET_WM_STATE_SKIP_TASKBAR") && !state.contains("_NET_WM_STATE_SKIP_PAGER");
}

// Asks the window manager to add or remove a state, as a pager would.
void askForState(WId window, bool add, const char* stateName)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = add ? 1 : 0;
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, stateName, False));
    event.xclient.data.l[3] = 2;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XCloseDisplay(display);
}

// Whether the window manager holds the window as one with a taskbar entry.
// The property alone may still show what the tool last wrote; a change of
// another state makes the window manager write all of it from its own view.
::testing::AssertionResult heldWithATaskbarEntry(WId window)
{
    askForState(window, true, "_NET_WM_STATE_ABOVE");
    const bool rewritten = pumpUntil([&] { return stateOf(window).contains("_NET_WM_STATE_ABOVE"); });
    const std::string held = described(window);
    askForState(window, false, "_NET_WM_STATE_ABOVE");
    const bool restored = pumpUntil([&] { return !stateOf(window).contains("_NET_WM_STATE_ABOVE"); });
    if (rewritten && restored && held.find("SKIP") == std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "held as: " << held;
}

template <typename Window> Window* activeWindow()
{
    return qobject_cast<Window*>(QApplication::activeWindow());
}

// Set before the window is first shown, the choice is in the state the
// window manager maps it with; on a shown window the window manager makes
// each change, keeping the states Qt set (stays on top).
TEST(X11TaskbarVisibility, HiddenAndShownWindowsTakeTheChoiceWithTheirOtherStates)
{
    X11TaskbarVisibility taskbar;
    QWidget window(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    window.resize(200, 100);
    window.winId();
    taskbar.setSkipsTaskbar(window.windowHandle(), true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return skipsBoth(window.winId()); }, 10000));
    EXPECT_TRUE(stateOf(window.winId()).contains("_NET_WM_STATE_ABOVE"));

    taskbar.setSkipsTaskbar(window.windowHandle(), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return skipsNeither(window.winId()); }, 10000)) << described(window.winId());
    EXPECT_TRUE(stateOf(window.winId()).contains("_NET_WM_STATE_ABOVE"));

    taskbar.setSkipsTaskbar(window.windowHandle(), true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return skipsBoth(window.winId()); }, 10000));
}

// The controller shows Settings and then makes the tool a regular
// application. A panel reads a window's state once, when the window manager
// lists it: each opening is listed with its entry, the window manager holds
// it so, and such a window gets its focus back when a question over it
// closes.
class ControllerWindowsOnTheDesktop : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the private test session";
        // No model: the first launch's welcome window.
        QDir(ModelManager::shared().modelsDirectory()).removeRecursively();
        AppConfig::setEnableRecordingSaving(true);
        RecordingManager::shared().deleteAllRecordings();
        RecordingManager::shared().saveRecording(std::vector<float>(16000, 0.0f), 16000, "kept", "unknown");
        RecordingManager::shared().waitForPendingWork();
        services = makeLinuxPlatformServices();
        services.alertPresenter = std::make_shared<FakeAlertPresenter>();
        services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
    }

    void TearDown() override
    {
        RecordingManager::shared().deleteAllRecordings();
        DefaultsTest::TearDown();
    }

    PlatformServices services;
};

TEST_F(ControllerWindowsOnTheDesktop, EachOpeningIsListedWithItsTaskbarEntryAndSettingsGetsItsFocusBackFromAQuestion)
{
    DesktopWatch panel;
    ASSERT_TRUE(panel.isOpen());
    // Whether a panel saw each opening of a window listed with its entry. Qt
    // gives a window that was closed a new X window when it opens again:
    // `windows` collects them.
    const auto listedWithEntries = [&](QSet<uint32_t>& windows, WId window,
                                       qsizetype openings) -> ::testing::AssertionResult {
        windows.insert(static_cast<uint32_t>(window));
        QList<DesktopWatch::Listing> seen;
        const bool all = pumpUntil(
            [&] {
                seen.clear();
                for (const uint32_t each : windows)
                    seen += panel.listingsOf(each);
                return seen.size() == openings;
            },
            Patience::reply);
        if (!all)
            return ::testing::AssertionFailure() << seen.size() << " listings";
        for (const DesktopWatch::Listing& listing : seen)
            if (listing.state.contains("_NET_WM_STATE_SKIP_TASKBAR")
                || listing.state.contains("_NET_WM_STATE_SKIP_PAGER"))
                return ::testing::AssertionFailure()
                    << "listed as " << QList(listing.state.begin(), listing.state.end()).join(' ').toStdString();
        return ::testing::AssertionSuccess();
    };

    AppDelegate controller(services);
    controller.applicationDidFinishLaunching();
    ASSERT_TRUE(pumpUntil([] { return activeWindow<FirstLaunchWindow>(); }, Patience::reply));
    QSet<uint32_t> welcomeWindows;
    EXPECT_TRUE(listedWithEntries(welcomeWindows, activeWindow<FirstLaunchWindow>()->winId(), 1))
        << "the welcome window";
    EXPECT_TRUE(heldWithATaskbarEntry(activeWindow<FirstLaunchWindow>()->winId())) << "the welcome window";
    activeWindow<FirstLaunchWindow>()->close();
    ASSERT_TRUE(Dispatch::drainMainQueue());

    SettingsWindow* settings = nullptr;
    QSet<uint32_t> settingsWindows;
    for (int opening = 1; opening <= 10; ++opening) {
        controller.showSettings();
        ASSERT_TRUE(pumpUntil([&] { return (settings = activeWindow<SettingsWindow>()); }, Patience::reply));
        EXPECT_TRUE(listedWithEntries(settingsWindows, settings->winId(), opening)) << "opening " << opening;
        EXPECT_TRUE(heldWithATaskbarEntry(settings->winId())) << "opening " << opening;
        if (opening == 10)
            break;
        // Closed, and the tool an accessory again, as when the user closes it.
        const WId closed = settings->winId();
        settings->close();
        ASSERT_TRUE(Dispatch::drainMainQueue());
        ASSERT_TRUE(pumpUntil([&] { return windowGeometry(QString::number(closed)).isEmpty(); }));
        ASSERT_TRUE(pumpUntil([&] { return !panel.isListed(static_cast<uint32_t>(closed)); }));
    }

    // Delete on a row asks; Escape answers. The focus is back in Settings:
    // the next Delete asks again.
    auto* view = qobject_cast<SettingsView*>(settings->contentWidget());
    ASSERT_NE(view, nullptr);
    view->setSelectedTab(SettingsTab::recordings);
    auto* recordings = view->findChild<SettingsRecordingsTabView*>();
    ASSERT_NE(recordings, nullptr);
    QTableView* table = recordings->table();
    ASSERT_TRUE(pumpUntil([&] { return table->model()->rowCount() == 1; }, Patience::reply));
    table->setFocus();
    table->selectRow(0);
    XTestKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen());
    for (int question = 1; question <= 2; ++question) {
        keyboard.tap("Delete");
        ASSERT_TRUE(
            pumpUntil([&] { return recordings->deleteConfirmation() && activeWindow<QMessageBox>(); }, Patience::reply))
            << "question " << question << " did not open";
        keyboard.tap("Escape");
        ASSERT_TRUE(pumpUntil([&] { return !recordings->deleteConfirmation(); }, Patience::reply));
        EXPECT_TRUE(pumpUntil([] { return activeWindow<SettingsWindow>(); }, Patience::reply))
            << "no window has the keyboard after question " << question;
    }
    EXPECT_EQ(table->model()->rowCount(), 1);
    controller.applicationWillTerminate();
}

} // namespace
