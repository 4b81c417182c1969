#include "core/input/KeyboardShortcutManager.h"
#include "integration/ControllerOnRealTap.h"
#include "support/SettingsReset.h"
#include "support/XTestKeyboard.h"

#include <gtest/gtest.h>

namespace {

const QString pressW = QStringLiteral("press 87");
const QString pressX = QStringLiteral("press 88");
const QString pressEscape = QStringLiteral("press 16777216");
const QString releaseQ = QStringLiteral("release 81");

// Shortcuts held and toggled on the private desktop, with a window that
// records every key that reaches it.
class DictationShortcutsTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        ASSERT_TRUE(keyboard.isOpen());
        ASSERT_TRUE(recorder.start()) << "the recorder window never got the focus";
        controller = controllerOnRealTap(tap, capture);
        ASSERT_TRUE(tap->exists());
    }

    void TearDown() override
    {
        releaseController(controller);
        DefaultsTest::TearDown();
    }

    bool settle()
    {
        keyboard.tap("x");
        return pumpUntil([this] { return recorder.saw(pressX); });
    }

    XTestKeyboard keyboard;
    KeystrokeRecorder recorder;
    std::shared_ptr<X11HotkeyTap> tap = std::make_shared<X11HotkeyTap>();
    std::shared_ptr<FakeAudioCapture> capture = std::make_shared<FakeAudioCapture>();
    std::unique_ptr<AppDelegate> controller;
};

TEST_F(DictationShortcutsTest, HoldingPushToTalkRecordsOnceUntilRelease)
{
    keyboard.press("Alt_L");
    keyboard.press("w");
    ASSERT_TRUE(pumpUntil([this] { return controller->isRecording(); }));
    pumpFor(1200); // auto-repeats arrive meanwhile
    EXPECT_TRUE(controller->isRecording());
    ASSERT_EQ(capture->streams.size(), 1u);
    EXPECT_EQ(capture->lastStream()->startCalls, 1);
    EXPECT_EQ(controller->recordingStateManager().currentState().mode, RecordingMode::pushToTalk);

    keyboard.release("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([this] { return !controller->isRecording(); }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(capture->streams.size(), 1u) << "repeats started nothing";
    EXPECT_FALSE(recorder.saw(pressW));
}

TEST_F(DictationShortcutsTest, EscapeCancelsAToggleRecordingAndIsOnlyTakenMeanwhile)
{
    keyboard.press("Alt_L");
    keyboard.press("Super_L");
    keyboard.tap("w");
    keyboard.release("Super_L");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([this] { return controller->isRecording(); }));
    EXPECT_EQ(controller->recordingStateManager().currentState().mode, RecordingMode::toggle);
    // Escape is taken along with the status icon's update.
    ASSERT_TRUE(pumpUntil([this] { return controller->statusIconName() == "mic.circle.fill"; }));

    keyboard.tap("Escape");
    ASSERT_TRUE(pumpUntil([this] { return !controller->isRecording(); }));
    EXPECT_FALSE(controller->recordingStateManager().currentState().isActive);
    ASSERT_TRUE(settle());
    EXPECT_FALSE(recorder.saw(pressEscape));

    keyboard.tap("Escape");
    EXPECT_TRUE(pumpUntil([this] { return recorder.saw(pressEscape); })) << "Escape is released with the recording";
}

// Toggle on Alt+Q, pressed while push-to-talk Alt+W is held. Whichever key
// comes up first, the next Alt+Q is a press of its own, not a repeat of the
// one pushed aside. When W comes up first the grab ends with it, so Q comes
// up in the focused window and the tap never sees it.
class ToggleKeyDuringAHold : public DictationShortcutsTest, public ::testing::WithParamInterface<bool> { };

TEST_P(ToggleKeyDuringAHold, StillStartsTheNextTime)
{
    const bool holdEndsFirst = GetParam();
    KeyboardShortcutManager::shared().updateShortcut(
        ShortcutAction::continuousRecording, KeyboardShortcut{12, 0x80000});
    keyboard.press("Alt_L");
    keyboard.press("w");
    ASSERT_TRUE(pumpUntil([this] { return controller->isRecording(); }));
    keyboard.press("q");
    if (holdEndsFirst) {
        keyboard.release("w");
        ASSERT_TRUE(pumpUntil([this] { return !controller->isRecording(); }));
        keyboard.release("q");
        ASSERT_TRUE(pumpUntil([this] { return recorder.saw(releaseQ); }));
    } else {
        keyboard.release("q");
        keyboard.release("w");
        ASSERT_TRUE(pumpUntil([this] { return !controller->isRecording(); }));
    }

    keyboard.tap("q");
    keyboard.release("Alt_L");
    EXPECT_TRUE(pumpUntil([this] { return controller->isRecording(); }));
    EXPECT_EQ(controller->recordingStateManager().currentState().mode, RecordingMode::toggle);
    controller->cancelRecording();
}

INSTANTIATE_TEST_SUITE_P(DictationShortcuts, ToggleKeyDuringAHold, ::testing::Values(true, false),
    [](const ::testing::TestParamInfo<bool>& order) {
        return order.param ? std::string("HoldReleasedFirst") : std::string("ToggleKeyReleasedFirst");
    });

// A layout switcher loads another keyboard map while push-to-talk is held:
// in "fr" the "w" key types "z", and the grab moves to the key that types
// "w" now. The hold still ends at the release of the key that was pressed.
TEST_F(DictationShortcutsTest, AHoldEndsAtItsKeysReleaseAcrossAKeyboardMapChange)
{
    keyboard.press("Alt_L");
    keyboard.press("w");
    ASSERT_TRUE(pumpUntil([this] { return controller->isRecording(); }));
    const bool loaded = keyboard.setLayout({QStringLiteral("fr")});
    keyboard.release("w");
    keyboard.release("Alt_L");
    const bool ended = pumpUntil([this] { return !controller->isRecording(); });
    const bool insertionWaits = tap->isShortcutKeyHeld();
    const bool closed = pumpUntil([this] { return capture->lastStream()->stopCalls == 1; });

    keyboard.press("Alt_L");
    keyboard.press("w");
    const bool restarted = pumpUntil([this] { return capture->streams.size() == 2; });
    keyboard.release("w");
    keyboard.release("Alt_L");
    keyboard.setLayout({QStringLiteral("us")});

    ASSERT_TRUE(loaded);
    EXPECT_TRUE(ended) << "the release of the held key ends the recording";
    EXPECT_FALSE(insertionWaits);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(restarted) << "the next press is a dictation of its own";
}

} // namespace
