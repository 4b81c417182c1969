#include "controller/AppDelegate.h"

#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "downloads/FirstLaunchView.h"
#include "downloads/FirstLaunchViewModel.h"
#include "popover/PopoverViewModel.h"
#include "settings/SettingsView.h"
#include "settings/SettingsViewModel.h"
#include "settings/models/TaskbarPresence.h"
#include "shell/theme/GlassButton.h"
#include "shell/theme/Motion.h"
#include "shell/tray/PopoverPanel.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "shell/windows/SettingsWindow.h"
#include "shell/windows/WindowManager.h"
#include "support/EventLoop.h"
#include "support/FakeAccessibilityTrust.h"
#include "support/FakeHotkeyTap.h"
#include "support/FakeTaskbarVisibility.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeTrayIcon.h"
#include "support/FakeUpdater.h"
#include "support/FakeWindowActivation.h"
#include "support/LocalHttpServer.h"
#include "support/LogCapture.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

struct ShellTestAccess {
    static PopoverPanel* popover(AppDelegate& controller) { return controller.popoverWindow.data(); }
    static SettingsWindow* settings(AppDelegate& controller) { return controller.settingsWindow.data(); }
    static FirstLaunchWindow* welcome(AppDelegate& controller) { return controller.firstLaunchWindow.data(); }
    static PopoverViewModel* popoverModel(AppDelegate& controller) { return controller.popoverViewModel.get(); }
};

namespace {

using Policy = ActivationPolicy::Policy;

// The fake tray icon sits at (400, 0), 24 pixels square, on the offscreen
// platform's 800x600 screen: the popover opens centred under it.
const QRect defaultPlace(412 - 190, 24 + 5, 380, 80);

void settle()
{
    Dispatch::drainMainQueue();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

class AppDelegateShellTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        Motion::setDurationScale(0);
        removeModels();
        trust->trusted = true;
        services.hotkeyTap = tap;
        services.accessibilityTrust = trust;
        services.trayIcon = tray;
        services.updater = updater;
        services.alertPresenter = alerts;
        services.taskbarVisibility = taskbar;
        services.windowActivation = activation;
        controller = std::make_unique<AppDelegate>(services);
        controller->setupMenuBar();
    }

    void TearDown() override
    {
        controller.reset();
        settle();
        removeModels();
        Motion::setDurationScale(1);
        DefaultsTest::TearDown();
    }

    static void removeModels() { QDir(ModelManager::shared().modelsDirectory()).removeRecursively(); }
    static void putModelOnDisk()
    {
        const QString path = ModelManager::shared().modelPath(WhisperModel::largeV3TurboQ5);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("model");
    }

    PopoverPanel* panel() { return ShellTestAccess::popover(*controller); }
    static std::optional<QPoint> savedPosition()
    {
        const auto origin = AppConfig::popoverWindowPosition();
        return origin ? std::optional<QPoint>(origin->toPoint()) : std::nullopt;
    }

    std::shared_ptr<FakeHotkeyTap> tap = std::make_shared<FakeHotkeyTap>();
    std::shared_ptr<FakeAccessibilityTrust> trust = std::make_shared<FakeAccessibilityTrust>();
    std::shared_ptr<FakeTrayIcon> tray = std::make_shared<FakeTrayIcon>();
    std::shared_ptr<FakeUpdater> updater = std::make_shared<FakeUpdater>();
    std::shared_ptr<FakeAlertPresenter> alerts = std::make_shared<FakeAlertPresenter>();
    std::shared_ptr<FakeTaskbarVisibility> taskbar = std::make_shared<FakeTaskbarVisibility>();
    std::shared_ptr<FakeWindowActivation> activation = std::make_shared<FakeWindowActivation>();
    PlatformServices services;
    std::unique_ptr<AppDelegate> controller;
};

} // namespace

TEST_F(AppDelegateShellTest, LeftClicksToggleOnePopoverThatReopensWhereItWasClosed)
{
    EXPECT_EQ(panel(), nullptr) << "built on first use";
    tray->click(TrayClick::left);
    settle();
    PopoverPanel* first = panel();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->geometry(), defaultPlace);

    tray->click(TrayClick::left);
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(savedPosition(), defaultPlace.topLeft());

    // During a later opening a drag is not recorded until the close.
    tray->click(TrayClick::left);
    settle();
    EXPECT_EQ(panel(), first);
    EXPECT_EQ(first->pos(), defaultPlace.topLeft());
    first->move(100, 300);
    settle();
    EXPECT_EQ(savedPosition(), defaultPlace.topLeft());
    tray->click(TrayClick::left);
    EXPECT_EQ(savedPosition(), QPoint(100, 300));
    tray->click(TrayClick::left);
    settle();
    EXPECT_EQ(first->pos(), QPoint(100, 300)) << "the saved place, not the one under the icon";
}

TEST_F(AppDelegateShellTest, ControlCommaInThePopoverOpensSettings)
{
    tray->click(TrayClick::left);
    settle();
    ASSERT_NE(panel(), nullptr);
    panel()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel()));
    QWidget* focused = QApplication::focusWidget() ? QApplication::focusWidget() : panel();
    QTest::keyClick(focused, Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_NE(ShellTestAccess::settings(*controller), nullptr);
    EXPECT_TRUE(ShellTestAccess::settings(*controller)->isVisible());
}

TEST_F(AppDelegateShellTest, ADragDuringTheFirstOpeningIsStoredWithoutAClose)
{
    controller->showPopover();
    settle();
    EXPECT_FALSE(savedPosition()) << "placing the panel is not a move of the user's";
    panel()->move(50, 60);
    settle();
    EXPECT_EQ(savedPosition(), QPoint(50, 60));
    // Moves of other windows are not the popover's.
    controller->showSettings();
    ShellTestAccess::settings(*controller)->move(10, 10);
    controller->windowDidMove(ShellTestAccess::settings(*controller));
    EXPECT_EQ(savedPosition(), QPoint(50, 60));
}

TEST_F(AppDelegateShellTest, ASavedPositionOffEveryScreenOpensAtTheDefaultPlaceAndStaysStored)
{
    AppConfig::setPopoverWindowPosition(QPointF(5000, 5000));
    controller->showPopover();
    settle();
    EXPECT_EQ(panel()->geometry(), defaultPlace);
    EXPECT_EQ(savedPosition(), QPoint(5000, 5000));
}

TEST_F(AppDelegateShellTest, RightClickShowsTheMenuAndLeavesThePopoverAlone)
{
    EXPECT_EQ(updater->starts, 1) << "the updater starts with the controller";
    tray->click(TrayClick::right);
    EXPECT_EQ(panel(), nullptr) << "a right click does not build the popover";
    EXPECT_EQ(tray->menuPopUps, 1);
    tray->click(TrayClick::left);
    tray->click(TrayClick::right);
    EXPECT_EQ(tray->menuPopUps, 2);
    EXPECT_TRUE(panel()->isVisible()) << "a right click never closes the popover";
    QMenu* menu = tray->contextMenu;
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 5);

    EXPECT_EQ(updater->checks, 0);
    menu->actions()[2]->trigger(); // "Check for Updates..."
    EXPECT_EQ(updater->checks, 1);
    menu->actions()[0]->trigger(); // "Settings..."
    ASSERT_NE(ShellTestAccess::settings(*controller), nullptr);
    EXPECT_TRUE(ShellTestAccess::settings(*controller)->isVisible());

    // The next left click reaches the popover, not a menu.
    tray->click(TrayClick::left);
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_EQ(tray->menuPopUps, 2);
}

TEST_F(AppDelegateShellTest, ResizingKeepsTheTopEdgeAndTheWidthAndAResizeMidwayAimsFromItsEnd)
{
    controller->resizePopover(true);
    EXPECT_EQ(panel(), nullptr) << "nothing to resize before the panel exists";

    controller->showPopover();
    settle();
    const QRect expanded(defaultPlace.topLeft(), QSize(380, 320));
    controller->resizePopover(true);
    settle();
    EXPECT_EQ(panel()->geometry(), expanded);
    controller->resizePopover(false);
    settle();
    EXPECT_EQ(panel()->geometry(), defaultPlace);
    // A width the user gave it is kept.
    panel()->resize(420, 80);
    controller->resizePopover(true);
    settle();
    EXPECT_EQ(panel()->geometry(), QRect(defaultPlace.topLeft(), QSize(420, 320)));
    panel()->setGeometry(defaultPlace);

    Motion::setDurationScale(1);
    controller->resizePopover(true);
    EXPECT_EQ(panel()->targetGeometry(), expanded);
    controller->resizePopover(true);
    EXPECT_EQ(panel()->targetGeometry(), expanded);
    controller->resizePopover(false);
    EXPECT_EQ(panel()->targetGeometry(), defaultPlace);
    EXPECT_TRUE(pumpUntil([&] { return panel()->geometry() == defaultPlace; }, 10000));
}

TEST_F(AppDelegateShellTest, WithoutATrayThePopoverCannotOpen)
{
    tray->hostAvailable = false;
    controller->showPopover();
    ASSERT_NE(panel(), nullptr);
    EXPECT_FALSE(panel()->isVisible()) << "no icon to open it under";

    PlatformServices bare = services;
    bare.trayIcon.reset();
    AppDelegate trayless(bare);
    trayless.setupMenuBar();
    trayless.showPopover();
    EXPECT_EQ(ShellTestAccess::popover(trayless), nullptr);
}

TEST_F(AppDelegateShellTest, OpeningThePopoverArmsTheShortcutsOnceAModelIsOnDisk)
{
    controller->showPopover();
    EXPECT_EQ(tap->createCalls, 0);
    putModelOnDisk();
    controller->togglePopover();
    controller->togglePopover();
    EXPECT_EQ(tap->createCalls, 1);
}

TEST_F(AppDelegateShellTest, OpeningSettingsArmsTheShortcutsWhenAModelIsOnDisk)
{
    putModelOnDisk();
    controller->showSettings();
    EXPECT_TRUE(tap->exists());
}

TEST_F(AppDelegateShellTest, SettingsIsOneWindowBroughtBackAndTheTaskbarStateFollowsIt)
{
    EXPECT_EQ(controller->activationPolicy(), Policy::accessory);
    controller->showSettings();
    SettingsWindow* window = ShellTestAccess::settings(*controller);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(controller->activationPolicy(), Policy::regular);
    controller->showSettings();
    EXPECT_EQ(ShellTestAccess::settings(*controller), window);

    QWidget* content = new QWidget;
    window->setContentWidget(content);
    window->close();
    EXPECT_EQ(controller->activationPolicy(), Policy::regular) << "switched back on the next turn";
    settle();
    EXPECT_EQ(controller->activationPolicy(), Policy::accessory);
    ASSERT_EQ(ShellTestAccess::settings(*controller), window) << "kept after closing";

    controller->showSettings();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->contentWidget(), content) << "its content kept its state";
    EXPECT_EQ(controller->activationPolicy(), Policy::regular);
}

// The controller is the window manager's host, as the composition root
// makes it, and lets go of the manager when it goes.
TEST_F(AppDelegateShellTest, TheWindowManagerOpensSettingsThroughTheController)
{
    WindowManager& windows = WindowManager::shared();
    windows.setApplicationDelegate(controller.get());
    windows.openWindow(WindowType::settings);
    SettingsWindow* window = ShellTestAccess::settings(*controller);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(controller->activationPolicy(), Policy::regular);
    windows.closeWindow(WindowType::settings);

    controller.reset();
    EXPECT_EQ(windows.applicationDelegate(), nullptr);
}

TEST_F(AppDelegateShellTest, TheTaskbarSwitchSetsThePolicyThatPlacesTheWindows)
{
    controller->togglePopover();
    QWindow* popover = panel()->windowHandle();
    ASSERT_NE(popover, nullptr);
    EXPECT_EQ(taskbar->skipsTaskbar(popover), true) << "shown while accessory";

    const std::shared_ptr<TaskbarPresence> presence = controller->taskbarPresence();
    presence->setShowsTaskbarEntry(true);
    EXPECT_EQ(controller->activationPolicy(), Policy::regular);
    EXPECT_EQ(taskbar->skipsTaskbar(popover), true) << "a panel never has an entry";

    QWidget alert(nullptr, Qt::Dialog);
    alert.show();
    EXPECT_EQ(taskbar->skipsTaskbar(alert.windowHandle()), false) << "opened while regular";
    controller->showSettings();
    QWindow* settings = ShellTestAccess::settings(*controller)->windowHandle();
    presence->setShowsTaskbarEntry(false);
    EXPECT_EQ(controller->activationPolicy(), Policy::accessory);
    EXPECT_EQ(taskbar->skipsTaskbar(alert.windowHandle()), true) << "an open window follows the switch";
    EXPECT_EQ(taskbar->skipsTaskbar(settings), false) << "Settings keeps its entry";
}

TEST_F(AppDelegateShellTest, ALaunchWithoutAModelOpensTheWelcomeWindowWhichGoesWhenClosed)
{
    controller->applicationDidFinishLaunching();
    QPointer<FirstLaunchWindow> window = ShellTestAccess::welcome(*controller);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(controller->activationPolicy(), Policy::regular);
    EXPECT_EQ(tap->createCalls, 0) << "the shortcuts wait for a model";

    // Settings opened and closed meanwhile: the taskbar state follows the
    // last close, the welcome window stays.
    controller->showSettings();
    ShellTestAccess::settings(*controller)->close();
    settle();
    EXPECT_EQ(controller->activationPolicy(), Policy::accessory);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());

    auto* view = qobject_cast<FirstLaunchView*>(window->contentWidget());
    ASSERT_NE(view, nullptr);
    LogCapture log;
    view->closeButton()->click();
    settle();
    EXPECT_FALSE(window) << "released on close";
    EXPECT_EQ(ShellTestAccess::welcome(*controller), nullptr);
    EXPECT_EQ(tap->createCalls, 0) << "closing is not continuing";

    // The shortcuts now do nothing: the log says why, where models go and
    // how to get one, once.
    const QStringList said = log.systemLines().filter(ModelManager::shared().modelsDirectory());
    ASSERT_EQ(said.size(), 1) << log.systemLines().join("\n").toStdString();
    EXPECT_TRUE(said.first().contains(QStringLiteral("\"Settings...\" → Models"))) << said.first().toStdString();
}

// The window a second start shows comes forward as of that start; a request
// without a token leaves it to the window. The welcome window's case runs on
// a real desktop, with the single-instance starts.
TEST_F(AppDelegateShellTest, ASecondStartActivatesTheWindowItShowsWithItsToken)
{
    putModelOnDisk();
    const ActivationToken token{"launcher-7_TIME4242", 4242};
    controller->handleSecondStart(token);
    ASSERT_NE(panel(), nullptr);
    ASSERT_EQ(activation->activations.size(), 1u);
    EXPECT_EQ(activation->activations[0].window, panel()->windowHandle());
    EXPECT_EQ(activation->activations[0].token, token);
    controller->handleSecondStart();
    EXPECT_EQ(activation->activations.size(), 1u);

    tray->hostAvailable = false;
    controller->handleSecondStart(token);
    ASSERT_EQ(activation->activations.size(), 2u);
    EXPECT_EQ(activation->activations[1].window, ShellTestAccess::settings(*controller)->windowHandle());
}

TEST_F(AppDelegateShellTest, ClosingTheWelcomeWindowWithAModelOnDiskLogsNoWarning)
{
    controller->showFirstLaunchWindow();
    putModelOnDisk();
    LogCapture log;
    ShellTestAccess::welcome(*controller)->close();
    settle();
    EXPECT_TRUE(log.systemLines().filter(ModelManager::shared().modelsDirectory()).isEmpty())
        << log.systemLines().join("\n").toStdString();
}

TEST_F(AppDelegateShellTest, ContinueArmsTheShortcutsOnceAndLeavesTheWindowOpen)
{
    putModelOnDisk();
    controller->showFirstLaunchWindow();
    FirstLaunchWindow* window = ShellTestAccess::welcome(*controller);
    ASSERT_NE(window, nullptr);
    auto* view = qobject_cast<FirstLaunchView*>(window->contentWidget());
    ASSERT_NE(view, nullptr);
    view->viewModel()->continueToApp();
    EXPECT_TRUE(tap->exists());
    view->viewModel()->continueToApp();
    EXPECT_EQ(tap->createCalls, 1) << "a second Continue does nothing";
    EXPECT_TRUE(window->isVisible());
}

// The controller hands one set of downloads to every window: a welcome
// window shown again and the Settings card follow the running download,
// and neither starts another.
TEST_F(AppDelegateShellTest, ARunningDownloadShowsInEveryWindowAndRunsOnce)
{
    const WhisperModel model = WhisperModel::largeV3TurboQ5;
    const QString path = "/orvandel/whisper.cpp/resolve/main/" + model.fileName();
    LocalHttpServer server;
    HttpRoute held;
    held.generatedSize = 1024 * 1024;
    held.hold = std::make_shared<std::atomic<bool>>(true);
    server.setRoute(path, held);
    qputenv("TALLOWIND_MODEL_BASE_URL", server.baseUrl().toUtf8());
    const auto welcomeView = [this] {
        return qobject_cast<FirstLaunchView*>(ShellTestAccess::welcome(*controller)->contentWidget());
    };

    controller->showFirstLaunchWindow();
    welcomeView()->downloadButton()->click();
    ASSERT_TRUE(pumpUntil([&] { return welcomeView()->viewModel()->downloadProgress() > 0; }));
    ShellTestAccess::welcome(*controller)->close();
    settle();
    controller->handleSecondStart();
    EXPECT_TRUE(welcomeView()->viewModel()->isDownloading());
    controller->showSettings();
    auto* settings = qobject_cast<SettingsView*>(ShellTestAccess::settings(*controller)->contentWidget());
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->viewModel()->downloadStatus(model).isDownloading());

    welcomeView()->viewModel()->startDownload();
    settings->viewModel()->downloadModel(model);
    settle();
    EXPECT_EQ(server.requestCount(path), 1);
    settings->viewModel()->cancelDownload(model);
    *held.hold = false;
    qunsetenv("TALLOWIND_MODEL_BASE_URL");
}

// The process ends without clean-up once termination returns: the downloads
// of the shared set and those a view runs on its own stop there, and what
// they received goes with them.
TEST_F(AppDelegateShellTest, TerminationStopsEveryDownloadAndRemovesItsPartFile)
{
    LocalHttpServer server;
    HttpRoute held;
    held.generatedSize = 1024 * 1024;
    held.hold = std::make_shared<std::atomic<bool>>(true);
    for (const WhisperModel model : {WhisperModel::largeV3TurboQ5, WhisperModel::largeV3TurboQ8})
        server.setRoute("/orvandel/whisper.cpp/resolve/main/" + model.fileName(), held);
    qputenv("TALLOWIND_MODEL_BASE_URL", server.baseUrl().toUtf8());

    controller->showFirstLaunchWindow();
    qobject_cast<FirstLaunchView*>(ShellTestAccess::welcome(*controller)->contentWidget())->downloadButton()->click();
    tray->click(TrayClick::left);
    settle();
    ShellTestAccess::popoverModel(*controller)
        ->downloadModel(WhisperModelInfo::make(WhisperModel::largeV3TurboQ8, false, false));
    const QDir models(ModelManager::shared().modelsDirectory());
    ASSERT_TRUE(pumpUntil([&] { return models.entryList({"*.part"}, QDir::Files).size() == 2; }, Patience::transfer));

    controller->applicationWillTerminate();
    EXPECT_TRUE(models.entryList(QDir::Files | QDir::Hidden).isEmpty()) << models.entryList().join(", ").toStdString();
    *held.hold = false;
    qunsetenv("TALLOWIND_MODEL_BASE_URL");
}

// The process winds up for a while after termination (the clipboard's
// hand-over): the icon leaves the tray, and no click, menu item, second
// start, shortcut, alert or update check opens anything in that time.
TEST_F(AppDelegateShellTest, AfterTerminationTheIconIsGoneAndNothingOpens)
{
    putModelOnDisk();
    tray->click(TrayClick::left);
    settle();
    ASSERT_NE(panel(), nullptr);
    QPointer<QMenu> menu = tray->contextMenu;
    ASSERT_NE(menu, nullptr);

    controller->applicationWillTerminate();
    EXPECT_TRUE(tray->removed);
    EXPECT_TRUE(updater->stopped);
    EXPECT_TRUE(alerts->stopped);

    panel()->hide();
    tray->click(TrayClick::left);
    tray->click(TrayClick::right);
    controller->handleSecondStart({"launcher-7_TIME4242", 4242});
    for (QAction* action : menu->actions())
        if (action->text() != "Quit")
            action->trigger();
    controller->checkForUpdates();
    settle();
    EXPECT_FALSE(panel()->isVisible());
    EXPECT_EQ(tray->menuPopUps, 0);
    EXPECT_TRUE(activation->activations.empty());
    EXPECT_EQ(updater->checks, 0);
    // Ctrl+, in a popover the quit has not closed yet.
    panel()->present();
    panel()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel()));
    QWidget* focused = QApplication::focusWidget() ? QApplication::focusWidget() : panel();
    QTest::keyClick(focused, Qt::Key_Comma, Qt::ControlModifier);
    settle();
    EXPECT_EQ(ShellTestAccess::settings(*controller), nullptr);
}
