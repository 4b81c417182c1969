// A new push-to-talk shortcut captured in the Advanced tab by pressing it on
// the private desktop, then used to dictate.
#include "core/input/KeyboardShortcutManager.h"
#include "integration/ControllerOnRealTap.h"
#include "settings/AdvancedTab.h"
#include "settings/KeyboardShortcutCaptureView.h"
#include "settings/SettingsViewModel.h"
#include "settings/ShortcutCaptureHost.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/XTestKeyboard.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// What the controller will do for the Settings window: release the grabs
// while a row captures.
class TapSuspender final : public ShortcutCaptureHost {
public:
    explicit TapSuspender(std::shared_ptr<HotkeyTap> hotkeys) : tap(std::move(hotkeys)) { }
    void setGlobalShortcutsSuspended(bool suspended) override { tap->setEnabled(!suspended); }
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

    XTestKeyboard keyboard;
    std::shared_ptr<X11HotkeyTap> tap = std::make_shared<X11HotkeyTap>();
    std::shared_ptr<FakeAudioCapture> capture = std::make_shared<FakeAudioCapture>();
    std::unique_ptr<AppDelegate> controller;
};

TEST_F(SettingsShortcutCapture, ACapturedShortcutReplacesTheOldOneAtOnce)
{
    TapSuspender host(tap);
    SettingsViewModel model;
    model.setShortcutCaptureHost(&host);
    SettingsAdvancedTabView tab(&model);
    tab.resize(670, 540);
    tab.show();
    tab.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));

    KeyboardShortcutCaptureView* row = tab.shortcutRows().front();
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

} // namespace
