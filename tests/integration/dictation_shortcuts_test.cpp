#include "controller/AppDelegate.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11HotkeyTap.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeAudioCapture.h"
#include "support/FakeKeySynthesizer.h"
#include "support/FakeMicrophonePermission.h"
#include "support/FakePasteboard.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/FakeWorkspace.h"
#include "support/SettingsReset.h"
#include "support/XTestKeyboard.h"

#include <gtest/gtest.h>

namespace {

const QString pressW = QStringLiteral("press 87");
const QString pressX = QStringLiteral("press 88");
const QString pressEscape = QStringLiteral("press 16777216");

// The controller on the real X11 tap, with the other desktop services faked:
// what a person holding or toggling the shortcuts gets.
class DictationShortcutsTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        ASSERT_TRUE(keyboard.isOpen());
        ASSERT_TRUE(recorder.start()) << "the recorder window never got the focus";
        PlatformServices services;
        services.hotkeyTap = tap;
        services.accessibilityTrust = std::make_shared<X11AccessibilityTrust>();
        services.keySynthesizer = std::make_shared<FakeKeySynthesizer>();
        services.pasteboard = std::make_shared<FakePasteboard>();
        services.audioCapture = capture;
        services.microphonePermission = std::make_shared<FakeMicrophonePermission>();
        services.alertPresenter = std::make_shared<FakeAlertPresenter>();
        services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
        services.workspace = std::make_shared<FakeWorkspace>();
        controller = std::make_unique<AppDelegate>(services);
        controller->setupGlobalHotkey();
        ASSERT_TRUE(tap->exists());
    }

    void TearDown() override
    {
        Dispatch::drainMainQueue(3000, true);
        controller.reset();
        Dispatch::drainMainQueue(1000);
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
    pumpFor(100); // the status icon update takes Escape

    keyboard.tap("Escape");
    ASSERT_TRUE(pumpUntil([this] { return !controller->isRecording(); }));
    EXPECT_FALSE(controller->recordingStateManager().currentState().isActive);
    ASSERT_TRUE(settle());
    EXPECT_FALSE(recorder.saw(pressEscape));

    keyboard.tap("Escape");
    EXPECT_TRUE(pumpUntil([this] { return recorder.saw(pressEscape); })) << "Escape is released with the recording";
}

} // namespace
