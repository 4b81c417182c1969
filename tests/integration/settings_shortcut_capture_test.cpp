// A new push-to-talk shortcut captured in the Advanced tab by pressing it on
// the private desktop, then used to dictate.
#include "core/input/KeyboardShortcutManager.h"
#include "integration/ControllerOnRealTap.h"
#include "settings/SettingsViewModel.h"
#include "settings/shortcuts/KeyboardShortcutCaptureView.h"
#include "settings/shortcuts/ShortcutCaptureHost.h"
#include "settings/tabs/AdvancedTab.h"
#include "support/FakeAlertPresenter.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/XTestKeyboard.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

// What the controller will do for the Settings window: release the grabs
// while a row captures.
class TapSuspender final : public ShortcutCaptureHost {
public:
    explicit TapSuspender(std::shared_ptr<HotkeyTap> hotkeys) : tap(std::move(hotkeys)) { }
    void setGlobalShortcutsSuspended(bool suspended) override { tap->setEnabled(!suspended); }
    bool refuseTakenShortcut(const KeyboardShortcut&) override { return false; }
    bool isShortcutTaken(const KeyboardShortcut&) const override { return false; }
    std::shared_ptr<HotkeyTap> tap;
};

class SettingsShortcutCapture : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs the private test session";
        KeyboardShortcutManager::shared().resetToDefaults();
        ASSERT_TRUE(keyboard.isOpen());
        controller = controllerOnRealTap(tap, capture);
        ASSERT_TRUE(tap->exists());
    }

    void TearDown() override
    {
        // The rows resume the shortcuts through their host as they go.
        tab.reset();
        model.reset();
        releaseController(controller);
        KeyboardShortcutManager::shared().resetToDefaults();
        DefaultsTest::TearDown();
    }

    // `limitMs`: how long a recording may take to start; for a combination
    // that must not dictate, how long to give a wrong start to show.
    bool dictates(const char* modifier, const char* key, int limitMs)
    {
        keyboard.press(modifier);
        keyboard.press(key);
        const bool started = pumpUntil([this] { return controller->isRecording(); }, limitMs);
        keyboard.release(key);
        keyboard.release(modifier);
        if (started)
            pumpUntil([this] { return !controller->isRecording(); }, 5000);
        pumpFor(200);
        return started;
    }

    // The Advanced tab, active on screen, its rows capturing through `host`.
    void showAdvancedTab(ShortcutCaptureHost* host)
    {
        model.emplace();
        model->setShortcutCaptureHost(host);
        tab.emplace(&*model);
        tab->resize(670, 540);
        tab->show();
        tab->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&*tab));
    }

    XTestKeyboard keyboard;
    std::shared_ptr<X11HotkeyTap> tap = std::make_shared<X11HotkeyTap>();
    std::shared_ptr<FakeAudioCapture> capture = std::make_shared<FakeAudioCapture>();
    std::unique_ptr<AppDelegate> controller;
    TapSuspender suspender{tap};
    std::optional<SettingsViewModel> model;
    std::optional<SettingsAdvancedTabView> tab;
};

TEST_F(SettingsShortcutCapture, ACapturedShortcutReplacesTheOldOneAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(showAdvancedTab(&suspender));

    KeyboardShortcutCaptureView* row = tab->shortcutRows().front();
    ASSERT_EQ(row->action(), ShortcutAction(ShortcutAction::quickTranscribe));
    QTest::mouseClick(row->captureButton(), Qt::LeftButton);
    ASSERT_TRUE(row->isCapturing());
    EXPECT_FALSE(tap->isEnabled());

    // The current shortcut itself reaches the window while capturing, so
    // pressing it again (here with Shift too) is possible.
    keyboard.press("Alt_L");
    keyboard.press("Shift_L");
    keyboard.press("e");
    ASSERT_TRUE(pumpUntil([&] { return !row->isCapturing(); }, 5000)) << "the key press never reached the row";
    keyboard.release("e");
    keyboard.release("Shift_L");
    keyboard.release("Alt_L");
    pumpFor(200);
    EXPECT_TRUE(tap->isEnabled());
    EXPECT_EQ(KeyboardShortcutManager::shared().shortcut(ShortcutAction::quickTranscribe),
        (KeyboardShortcut{14, KeyboardShortcut::optionFlag | KeyboardShortcut::shiftFlag}));
    EXPECT_FALSE(controller->isRecording());

    // Alt+W no longer dictates; Alt+Shift+E does, without a restart.
    EXPECT_FALSE(dictates("Alt_L", "w", 1500));
    keyboard.press("Alt_L");
    EXPECT_TRUE(dictates("Shift_L", "e", Patience::reply));
    keyboard.release("Alt_L");
    pumpFor(200);
}

// Another program has held Alt+W since before the controller started, like
// a desktop's own shortcut; as many programs do, it took the Caps Lock
// variant but no Num Lock one.
class SettingsShortcutTakenElsewhere : public SettingsShortcutCapture {
protected:
    const std::vector<Alert>& alerts() const
    {
        return std::static_pointer_cast<FakeAlertPresenter>(controller->services().alertPresenter)->shown;
    }

    // Members, so the grabs are in place before SetUp starts the controller
    // and stay until the fixture goes. X masks: Mod1 = 8, Lock = 2.
    ForeignKeyGrab altW{"w", 8};
    ForeignKeyGrab altCapsW{"w", 8 | 2};
};

TEST_F(SettingsShortcutTakenElsewhere, TheShortcutIsNamedMarkedAndRefusedWhenCapturedAgain)
{
    const QString words = QStringLiteral(
        "Another program already uses Alt+W, so Tallowind cannot use it. Choose another shortcut in Settings "
        "\u2192 Advanced.");
    ASSERT_TRUE(pumpUntil([this] { return !alerts().empty(); }, Patience::reply)) << "the user was never told";
    EXPECT_EQ(alerts().front().informativeText, words);

    // Only that one is missing; the others are armed.
    EXPECT_EQ(tap->refusedGrabs(), (std::vector<HotkeyGrab>{{13, KeyboardShortcut::optionFlag}}));

    // Num Lock goes on before the window is there to see the key.
    keyboard.tap("Num_Lock");
    ASSERT_TRUE(pumpUntil([this] { return !keyboard.isDown("Num_Lock"); }, Patience::reply));

    ASSERT_NO_FATAL_FAILURE(showAdvancedTab(controller.get()));
    KeyboardShortcutCaptureView* row = tab->shortcutRows().front();
    EXPECT_TRUE(row->takenLabel()->isVisible());
    EXPECT_FALSE(tab->shortcutRows().back()->takenLabel()->isVisible());

    // With Num Lock on, Alt+W reaches the window, and the server still
    // refuses it: the old shortcut stays, and the user is told again.
    QTest::mouseClick(row->captureButton(), Qt::LeftButton);
    ASSERT_TRUE(row->isCapturing());
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([&] { return !row->isCapturing(); }, Patience::reply))
        << "the key press never reached the row";
    EXPECT_TRUE(pumpUntil([this] { return alerts().size() == 2; }, Patience::reply));
    EXPECT_EQ(alerts().back().informativeText, words);
    EXPECT_EQ(KeyboardShortcutManager::shared().shortcut(ShortcutAction::quickTranscribe),
        (KeyboardShortcut{13, KeyboardShortcut::optionFlag}));
    EXPECT_TRUE(row->takenLabel()->isVisible());

    // Another shortcut chosen there works (Num Lock still on), and the mark
    // goes.
    QTest::mouseClick(row->captureButton(), Qt::LeftButton);
    keyboard.press("Alt_L");
    keyboard.tap("e");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([&] { return !row->isCapturing(); }, Patience::reply));
    EXPECT_FALSE(row->takenLabel()->isVisible());
    EXPECT_TRUE(dictates("Alt_L", "e", Patience::reply));
    EXPECT_EQ(alerts().size(), 2u);
}

} // namespace
