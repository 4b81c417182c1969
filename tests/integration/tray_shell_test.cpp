// The tray shell on a private desktop with a real tray host (trayer): the
// icon docks, clicks reach it, the popover opens under it, the context menu
// shows its entries, and a first launch downloads its model from a local
// server, after which "Continue", pressed from the keyboard, arms a shortcut
// that dictates.
#include "app/LinuxPlatformServices.h"
#include "controller/AppDelegate.h"
#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "downloads/FirstLaunchView.h"
#include "downloads/FirstLaunchViewModel.h"
#include "platform/TrayIcon.h"
#include "shell/theme/GlassButton.h"
#include "shell/tray/PopoverPanel.h"
#include "shell/tray/PopoverPlacement.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "support/EventLoop.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/LocalHttpServer.h"
#include "support/LogCapture.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/VirtualMicrophone.h"
#include "support/WhisperTestModel.h"
#include "support/XTestKeyboard.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

struct ShellTestAccess {
    static PopoverPanel* popover(AppDelegate& controller) { return controller.popoverWindow.data(); }
    static FirstLaunchWindow* welcome(AppDelegate& controller) { return controller.firstLaunchWindow.data(); }
};

namespace {

// Clicks with the pointer at a screen point, as the user would.
bool clickAt(QPoint point, int button)
{
    return QProcess::execute("xdotool",
               {"mousemove", QString::number(point.x()), QString::number(point.y()), "click", QString::number(button)})
        == 0;
}

class TrayShell : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the private test session";
        QDir(ModelManager::shared().modelsDirectory()).removeRecursively();

        // The model the local server hands out: a tiny one that really loads.
        ASSERT_TRUE(folder.isValid());
        const QString built =
            WhisperTestModel::writeMicro(folder.path(), WhisperTestModel::WeightType::F16, "model.bin");
        ASSERT_FALSE(built.isEmpty());
        QFile file(built);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        HttpRoute route;
        route.body = file.readAll();
        server.setRoute(
            "/orvandel/whisper.cpp/resolve/main/" + WhisperModel(WhisperModel::largeV3TurboQ5).fileName(), route);
        qputenv("TALLOWIND_MODEL_BASE_URL", server.baseUrl().toUtf8());
        AppConfig::setWhisperBeamSize(1);
        AppConfig::setWhisperBestOf(1);
        AppConfig::setWhisperNoFallback(true);

        tray.start("trayer",
            {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24", "--SetDockType", "true",
                "--SetPartialStrut", "true", "--expand", "true"});
        ASSERT_TRUE(tray.waitForStarted(5000));
        ASSERT_TRUE(pumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000))
            << "trayer did not take the tray";

        services = makeLinuxPlatformServices();
        services.alertPresenter = alerts;
        services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
    }

    void TearDown() override
    {
        qunsetenv("TALLOWIND_MODEL_BASE_URL");
        if (tray.state() != QProcess::NotRunning) {
            tray.terminate();
            tray.waitForFinished(3000);
        }
        QDir(ModelManager::shared().modelsDirectory()).removeRecursively();
        DefaultsTest::TearDown();
    }

    QTemporaryDir folder;
    LocalHttpServer server;
    QProcess tray;
    std::shared_ptr<FakeAlertPresenter> alerts = std::make_shared<FakeAlertPresenter>();
    PlatformServices services;
};

} // namespace

TEST_F(TrayShell, TheIconDocksOpensThePopoverAndMenuAndAFirstLaunchEndsInADictation)
{
    AppDelegate controller(services);
    controller.applicationDidFinishLaunching();

    // The icon sits in the tray, at the top right of the screen.
    QRect icon;
    ASSERT_TRUE(pumpUntil(
        [&] {
            icon = services.trayIcon->geometry();
            return services.trayIcon->isVisible() && icon.width() > 0 && icon.center().x() > 1000 && icon.top() >= 0
                && icon.bottom() < 40;
        },
        10000))
        << "the icon did not dock: " << icon.x() << "," << icon.y() << " " << icon.width() << "x" << icon.height();
    pumpFor(300);
    icon = services.trayIcon->geometry();

    // A first launch: the welcome window instead of the shortcuts.
    FirstLaunchWindow* welcome = ShellTestAccess::welcome(controller);
    ASSERT_NE(welcome, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return welcome->isVisible(); }, 5000));

    // A left click on the icon opens the popover under it.
    ASSERT_TRUE(clickAt(icon.center(), 1));
    ASSERT_TRUE(pumpUntil(
        [&] { return ShellTestAccess::popover(controller) && ShellTestAccess::popover(controller)->isVisible(); },
        10000))
        << "the click at " << icon.center().x() << "," << icon.center().y() << " did not open the popover";
    PopoverPanel* popover = ShellTestAccess::popover(controller);
    const QPoint expected =
        PopoverPlacement::originFor(popover->size(), icon, std::nullopt, PopoverPlacement::desktopScreens());
    EXPECT_TRUE(pumpUntil([&] { return popover->geometry().topLeft() == expected; }, 5000))
        << "at " << popover->geometry().x() << "," << popover->geometry().y() << " instead of " << expected.x() << ","
        << expected.y();
    EXPECT_GE(popover->geometry().top(), icon.bottom() + 1 + PopoverPlacement::gapBelowIcon) << "below the tray";

    // A right click shows the menu, once, and leaves the popover open. The
    // menu is the one the icon carries for trays that draw it themselves.
    QMenu* iconMenu = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* candidate = qobject_cast<QMenu*>(widget); candidate && candidate->accessibleName() == "Tallowind")
            iconMenu = candidate;
    ASSERT_NE(iconMenu, nullptr);
    QSignalSpy shows(iconMenu, &QMenu::aboutToShow);
    ASSERT_TRUE(clickAt(icon.center(), 3));
    QMenu* menu = nullptr;
    ASSERT_TRUE(pumpUntil(
        [&] {
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            return menu && menu->isVisible();
        },
        10000))
        << "no menu";
    EXPECT_EQ(menu, iconMenu);
    EXPECT_EQ(menu->actions().size(), 5);
    EXPECT_TRUE(popover->isVisible());
    XTestKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen());
    keyboard.tap("Escape");
    ASSERT_TRUE(pumpUntil([] { return QApplication::activePopupWidget() == nullptr; }, 5000));
    EXPECT_EQ(shows.count(), 1) << "the menu was popped up again over itself";

    // A second left click closes the popover.
    ASSERT_TRUE(clickAt(icon.center(), 1));
    ASSERT_TRUE(pumpUntil([&] { return !popover->isVisible(); }, 10000));

    // The download, from the local server, then "Continue".
    auto* view = qobject_cast<FirstLaunchView*>(welcome->contentWidget());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(clickAt(view->downloadButton()->mapToGlobal(view->downloadButton()->rect().center()), 1));
    ASSERT_TRUE(pumpUntil([&] { return view->viewModel()->downloadComplete() || view->viewModel()->downloadFailed(); },
        Patience::transfer));
    ASSERT_TRUE(view->viewModel()->downloadComplete()) << view->viewModel()->statusText().toStdString();
    EXPECT_TRUE(QFile::exists(ModelManager::shared().modelPath(WhisperModel::largeV3TurboQ5)));
    // "Continue" has the focus, so Space means it, not the close button.
    ASSERT_TRUE(pumpUntil([&] { return view->continueButton()->hasFocus(); }, 5000));
    keyboard.tap("space");
    ASSERT_TRUE(pumpUntil([&] { return view->viewModel()->hasContinued(); }, 5000)) << "Continue was not pressed";

    // A held shortcut now dictates.
    QTemporaryDir audio;
    const QString spoken = audio.filePath("spoken.wav");
    ASSERT_TRUE(VirtualMicrophone::writeSpeech(spoken, "this is a test of the tray", 0.5));
    QStringList announced;
    NotificationObservation observation("TranscriptionUpdated",
        [&](const Notification& note) { announced.append(note.userInfo.value("text").toString()); });
    LogCapture log;
    keyboard.press("Alt_L");
    keyboard.press("w");
    ASSERT_TRUE(pumpUntil([&] { return controller.isRecording(); }, 5000)) << "the shortcut did not start a recording";
    ASSERT_TRUE(VirtualMicrophone::play(spoken));
    keyboard.release("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([&] { return !announced.isEmpty(); }, Patience::transcription))
        << log.systemLines().join("\n").toStdString();
    EXPECT_FALSE(announced.front().trimmed().isEmpty());

    controller.applicationWillTerminate();
}
