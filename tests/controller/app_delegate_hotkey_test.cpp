#include "controller/AppDelegate.h"

#include "DictationFixture.h"
#include "core/input/KeyboardShortcutManager.h"
#include "core/speech/ModelManager.h"
#include "settings/shortcuts/KeyboardShortcutCaptureView.h"
#include "support/FakeAccessibilityTrust.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeHotkeyTap.h"
#include "support/FakeTrayIcon.h"
#include "support/LogCapture.h"
#include "support/SettingsReset.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>

#include <thread>

namespace {

constexpr uint32_t shift = 0x20000;

class AppDelegateHotkeyTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        removeModels();
        PlatformServices services;
        services.hotkeyTap = tap;
        services.accessibilityTrust = trust;
        services.trayIcon = std::make_shared<FakeTrayIcon>();
        services.alertPresenter = alerts;
        controller = std::make_unique<AppDelegate>(services);
    }

    void TearDown() override
    {
        controller.reset();
        Dispatch::drainMainQueue();
        removeModels();
        DefaultsTest::TearDown();
    }

    static void removeModels() { QDir(ModelManager::shared().modelsDirectory()).removeRecursively(); }

    // The push-to-talk row of the Settings window the controller opened.
    static KeyboardShortcutCaptureView* pushToTalkRow()
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            for (KeyboardShortcutCaptureView* row : window->findChildren<KeyboardShortcutCaptureView*>())
                if (window->isVisible() && row->action() == ShortcutAction(ShortcutAction::quickTranscribe))
                    return row;
        return nullptr;
    }

    static void putModelOnDisk()
    {
        const QString path = ModelManager::shared().modelPath(WhisperModel::largeV3TurboQ5);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("model");
    }

    QList<QTimer*> activePolls() const
    {
        QList<QTimer*> active;
        for (QTimer* timer : controller->findChildren<QTimer*>(QStringLiteral("permissionCheckTimer")))
            if (timer->isActive())
                active.append(timer);
        return active;
    }

    static void tick(QTimer* timer) { QMetaObject::invokeMethod(timer, "timeout"); }

    std::shared_ptr<FakeHotkeyTap> tap = std::make_shared<FakeHotkeyTap>();
    std::shared_ptr<FakeAccessibilityTrust> trust = std::make_shared<FakeAccessibilityTrust>();
    std::shared_ptr<FakeAlertPresenter> alerts = std::make_shared<FakeAlertPresenter>();
    std::unique_ptr<AppDelegate> controller;
};

TEST_F(AppDelegateHotkeyTest, LaunchWithoutAModelLeavesTheShortcutsOffUntilOneArrives)
{
    trust->trusted = true;
    controller->applicationDidFinishLaunching();
    EXPECT_EQ(tap->createCalls, 0);
    EXPECT_EQ(controller->recordingStateManager().delegate(), controller.get());

    controller->showPopover();
    EXPECT_FALSE(tap->exists()) << "still no model on disk";

    // The download's notification arms without looking at the folder.
    NotificationCenter::shared().post(QStringLiteral("FirstModelDownloaded"));
    EXPECT_TRUE(tap->exists());
    NotificationCenter::shared().post(QStringLiteral("FirstModelDownloaded"));
    EXPECT_EQ(tap->createCalls, 1);
}

TEST_F(AppDelegateHotkeyTest, LaunchWithAModelArmsTheShortcuts)
{
    trust->trusted = true;
    putModelOnDisk();
    controller->applicationDidFinishLaunching();
    EXPECT_TRUE(tap->exists());
}

TEST_F(AppDelegateHotkeyTest, WithoutPermissionItAsksOnceThenPollsEverySecondUntilGranted)
{
    controller->setupGlobalHotkey();
    controller->setupGlobalHotkey(); // e.g. the popover opened meanwhile
    EXPECT_EQ(trust->prompts, 1);
    EXPECT_FALSE(tap->exists());
    ASSERT_EQ(activePolls().size(), 1) << "a second call restarts the poll, it does not add one";
    QTimer* poll = activePolls().first();
    EXPECT_EQ(poll->interval(), 1000);

    tick(poll);
    EXPECT_FALSE(tap->exists()) << "still untrusted: nothing happens";
    EXPECT_EQ(activePolls().size(), 1);

    trust->trusted = true;
    tick(poll);
    EXPECT_TRUE(tap->exists());
    EXPECT_TRUE(tap->isEnabled());
    EXPECT_TRUE(activePolls().isEmpty());
    EXPECT_EQ(trust->prompts, 1);
    EXPECT_TRUE(tap->isGrabbed(keyW, option));
    EXPECT_TRUE(tap->isGrabbed(keyW, option | shift));
    EXPECT_FALSE(tap->isGrabbed(53, 0)) << "Escape is only taken during a toggle recording";
}

TEST_F(AppDelegateHotkeyTest, RefusedTapStartsNoPollAndIsRetriedByTheNextCaller)
{
    trust->trusted = true;
    tap->refuseCreation = true;
    putModelOnDisk();
    controller->setupGlobalHotkey();
    EXPECT_FALSE(tap->exists());
    EXPECT_TRUE(activePolls().isEmpty());
    EXPECT_EQ(trust->prompts, 0);

    tap->refuseCreation = false;
    controller->showSettings();
    EXPECT_TRUE(tap->exists());
}

TEST_F(AppDelegateHotkeyTest, AShortcutAnotherProgramHoldsIsNamedOnceAndMarkedUntilChanged)
{
    const KeyboardShortcut altW{keyW, option};
    trust->trusted = true;
    tap->heldElsewhere = {HotkeyGrab{keyW, option}};
    LogCapture log;
    controller->setupGlobalHotkey();
    ASSERT_TRUE(tap->exists()) << "the other shortcuts still work";
    EXPECT_TRUE(tap->isGrabbed(keyW, option | shift));
    Dispatch::drainMainQueue();

    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown.front().informativeText,
        QStringLiteral("Another program already uses Alt+W, so Tallowind cannot use it. Choose another shortcut in "
                       "Settings \u2192 Advanced."));
    EXPECT_TRUE(log.hasSystemLine(QStringLiteral("[AppDelegate] The shortcut Alt+W cannot be used: another program "
                                                 "holds it (the X server refused its key grab)")));
    EXPECT_TRUE(controller->isShortcutTaken(altW));
    EXPECT_FALSE(controller->isShortcutTaken(KeyboardShortcut{keyW, option | shift}));

    // Refused again (the grabs are applied anew): still marked, not told twice.
    controller->setGlobalShortcutsSuspended(true);
    controller->setGlobalShortcutsSuspended(false);
    Dispatch::drainMainQueue();
    EXPECT_EQ(alerts->shown.size(), 1u);
    EXPECT_TRUE(controller->isShortcutTaken(altW));

    // A shortcut captured in Settings that another program holds is refused
    // with the same words; a free one is not.
    EXPECT_TRUE(controller->refuseTakenShortcut(altW));
    EXPECT_FALSE(controller->refuseTakenShortcut(KeyboardShortcut{14, option}));
    Dispatch::drainMainQueue();
    ASSERT_EQ(alerts->shown.size(), 2u);
    EXPECT_EQ(alerts->shown.back().informativeText, alerts->shown.front().informativeText);

    // The rows of the Settings window the controller opens reach it.
    putModelOnDisk();
    controller->showSettings();
    KeyboardShortcutCaptureView* row = pushToTalkRow();
    ASSERT_NE(row, nullptr);
    row->startCapturing();
    EXPECT_FALSE(tap->isEnabled()) << "a capture suspends the shortcuts";
    row->stopCapturing();
    EXPECT_TRUE(tap->isEnabled());

    KeyboardShortcutManager::shared().updateShortcut(ShortcutAction::quickTranscribe, KeyboardShortcut{14, option});
    EXPECT_FALSE(controller->isShortcutTaken(altW));
    KeyboardShortcutManager::shared().resetToDefaults();
}

// Settings built before the shortcuts were armed, as at the first launch:
// its rows read the taken set once the controller has updated it, without
// the tab being shown again.
TEST_F(AppDelegateHotkeyTest, SettingsBuiltBeforeArmingMarksATakenShortcutAtOnce)
{
    const KeyboardShortcut altW{keyW, option};
    trust->trusted = true;
    tap->heldElsewhere = {HotkeyGrab{keyW, option}};
    controller->applicationDidFinishLaunching();
    controller->showSettings();
    ASSERT_FALSE(tap->exists());
    KeyboardShortcutCaptureView* row = pushToTalkRow();
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->takenLabel()->isHidden());

    putModelOnDisk();
    NotificationCenter::shared().post(QStringLiteral("FirstModelDownloaded"));
    ASSERT_TRUE(controller->isShortcutTaken(altW));
    EXPECT_FALSE(row->takenLabel()->isHidden());
}

TEST_F(AppDelegateHotkeyTest, OpeningThePopoverArmsOnlyOnceAModelExists)
{
    trust->trusted = true;
    // The popover opens from the tray icon.
    controller->setupMenuBar();
    controller->showPopover();
    EXPECT_EQ(tap->createCalls, 0) << "no model on disk yet";

    putModelOnDisk();
    controller->showPopover();
    controller->showPopover();
    EXPECT_EQ(tap->createCalls, 1);
    EXPECT_EQ(ModelManager::shared().activeModel(), WhisperModel::largeV3TurboQ5) << "models were validated";
}

TEST_F(AppDelegateHotkeyTest, FirstLaunchCompletionArmsWithoutLookingAtTheModels)
{
    trust->trusted = true;
    controller->firstLaunchCompleted();
    EXPECT_TRUE(tap->exists());
    controller->firstLaunchCompleted();
    EXPECT_EQ(tap->createCalls, 1);
}

TEST_F(AppDelegateHotkeyTest, EventsOfTheTapAreAnsweredAndADisabledTapIsRevived)
{
    trust->trusted = true;
    controller->setupGlobalHotkey();
    ASSERT_TRUE(tap->exists());

    EXPECT_EQ(tap->keyDown(keyW, option | shift), HotkeyTap::Disposition::swallow);
    EXPECT_EQ(tap->keyUp(keyW, option | shift), HotkeyTap::Disposition::passOn);
    EXPECT_EQ(tap->keyDown(14, 0), HotkeyTap::Disposition::passOn);

    tap->disableBySystem();
    tap->keyDown(14, 0);
    EXPECT_TRUE(tap->isEnabled());
}

TEST_F(AppDelegateHotkeyTest, TerminationDisablesTheTapAndDestructionInvalidatesIt)
{
    controller->setupGlobalHotkey(); // untrusted: a poll runs
    trust->trusted = true;
    tick(activePolls().first());
    ASSERT_TRUE(tap->exists());
    controller->setupGlobalHotkey();

    controller->applicationWillTerminate();
    EXPECT_TRUE(tap->exists());
    EXPECT_FALSE(tap->isEnabled());

    controller.reset();
    EXPECT_FALSE(tap->exists());
    EXPECT_EQ(tap->keyDown(keyW, option), std::nullopt);
}

TEST_F(AppDelegateHotkeyTest, TerminationStopsAPermissionPoll)
{
    controller->setupGlobalHotkey();
    ASSERT_EQ(activePolls().size(), 1);
    controller->applicationWillTerminate();
    EXPECT_TRUE(activePolls().isEmpty());
}

TEST_F(AppDelegateHotkeyTest, StatusIconFollowsUpdatesFromAnyThreadInOrder)
{
    controller->setupMenuBar();
    EXPECT_EQ(controller->statusIconName(), "mic.circle");
    QSignalSpy changes(controller.get(), &AppDelegate::statusIconNameChanged);

    std::thread worker([this] {
        controller->updateStatusIcon(true, false);
        controller->updateStatusIcon(false, true);
    });
    worker.join();
    controller->updateStatusIcon(true, true);
    controller->updateStatusIcon();
    EXPECT_EQ(changes.count(), 0) << "updates are applied on the main queue, not inline";

    ASSERT_TRUE(Dispatch::drainMainQueue());
    ASSERT_EQ(changes.count(), 4);
    EXPECT_EQ(changes[0][0].toString(), "mic.circle.fill");
    EXPECT_EQ(changes[1][0].toString(), "mic.badge.ellipsis");
    EXPECT_EQ(changes[2][0].toString(), "mic.circle.fill") << "recording wins over transcribing";
    EXPECT_EQ(changes[3][0].toString(), "mic.circle");
    EXPECT_EQ(controller->statusIconName(), "mic.circle");
}

} // namespace
