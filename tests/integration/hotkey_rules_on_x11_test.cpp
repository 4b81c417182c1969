#include "core/input/HotkeyDecision.h"
#include "core/input/KeyboardShortcutManager.h"
#include "platform/x11/X11HotkeyTap.h"
#include "support/SettingsReset.h"
#include "support/XTestKeyboard.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace {

const QString pressW = QStringLiteral("press 87");
const QString pressX = QStringLiteral("press 88");
const QString pressEscape = QStringLiteral("press 16777216");

// The hotkey rules on the real tap, with a recording that is only a flag:
// what starts and stops when a person holds and releases keys.
class HotkeyRulesOnX11Test : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        KeyboardShortcutManager::shared().loadShortcuts();
        ASSERT_TRUE(keyboard.isOpen());
        ASSERT_TRUE(recorder.start()) << "the recorder window never got the focus";
        ASSERT_TRUE(tap.create(hotkeyGrabs(KeyboardShortcutManager::shared(), false),
            [this](const HotkeyEvent& event) { return handle(event); }));
    }

    HotkeyTap::Disposition handle(const HotkeyEvent& event)
    {
        const HotkeyContext context{recording, mode, QDateTime::currentMSecsSinceEpoch() / 1000.0, lastToggleTime, 0.3};
        const HotkeyDecision decision = decideHotkeyEvent(event, context, KeyboardShortcutManager::shared());
        switch (decision.command) {
        case HotkeyCommand::none:
            break;
        case HotkeyCommand::startPushToTalk:
        case HotkeyCommand::startToggle:
            ++starts;
            recording = true;
            mode = decision.command == HotkeyCommand::startToggle ? RecordingMode::toggle : RecordingMode::pushToTalk;
            break;
        case HotkeyCommand::stopAndTranscribe:
            ++stops;
            recording = false;
            break;
        case HotkeyCommand::cancel:
            ++cancels;
            recording = false;
            break;
        }
        if (decision.renewToggleTime)
            lastToggleTime = context.now;
        tap.setGrabs(hotkeyGrabs(KeyboardShortcutManager::shared(), recording && mode == RecordingMode::toggle));
        return decision.swallow ? HotkeyTap::Disposition::swallow : HotkeyTap::Disposition::passOn;
    }

    bool settle()
    {
        keyboard.tap("x");
        return pumpUntil([this] { return recorder.saw(pressX); });
    }

    XTestKeyboard keyboard;
    KeystrokeRecorder recorder;
    X11HotkeyTap tap;
    bool recording = false;
    RecordingMode mode = RecordingMode::pushToTalk;
    double lastToggleTime = 0;
    int starts = 0, stops = 0, cancels = 0;
};

TEST_F(HotkeyRulesOnX11Test, HoldingPushToTalkStartsOnceAndStopsOnceAtRelease)
{
    keyboard.press("Alt_L");
    keyboard.press("w");
    ASSERT_TRUE(pumpUntil([this] { return starts > 0; }));
    pumpFor(1200); // the server auto-repeats W meanwhile
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(stops, 0);
    EXPECT_TRUE(recording);
    keyboard.release("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([this] { return stops > 0; }));
    ASSERT_TRUE(settle());

    EXPECT_EQ(starts, 1);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(recorder.saw(pressW));
}

TEST_F(HotkeyRulesOnX11Test, ModifierReleasedFirstStillEndsPushToTalkOnce)
{
    keyboard.press("Alt_L");
    keyboard.press("w");
    keyboard.release("Alt_L");
    pumpFor(200);
    keyboard.release("w");
    // The tap's events come by way of its own thread: wait for them, then
    // for anything that would follow.
    ASSERT_TRUE(pumpUntil([this] { return stops > 0; }));
    ASSERT_TRUE(settle());

    EXPECT_EQ(starts, 1);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(recording);
}

TEST_F(HotkeyRulesOnX11Test, NumLockOnChangesNothing)
{
    keyboard.tap("Num_Lock");
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    keyboard.tap("Num_Lock");
    ASSERT_TRUE(pumpUntil([this] { return stops > 0; }));
    ASSERT_TRUE(settle());

    EXPECT_EQ(starts, 1);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(recorder.saw(pressW));
}

TEST_F(HotkeyRulesOnX11Test, EscapeCancelsAToggleRecordingAndIsLeftAloneOtherwise)
{
    keyboard.press("Alt_L");
    keyboard.press("Super_L");
    keyboard.tap("w");
    keyboard.release("Super_L");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([this] { return starts == 1; }));
    EXPECT_EQ(mode, RecordingMode::toggle);

    keyboard.tap("Escape");
    ASSERT_TRUE(pumpUntil([this] { return cancels == 1; }));
    ASSERT_TRUE(settle());
    EXPECT_FALSE(recorder.saw(pressEscape)) << "the cancelling Escape is swallowed";

    keyboard.tap("Escape");
    EXPECT_TRUE(pumpUntil([this] { return recorder.saw(pressEscape); })) << "no recording: Escape reaches the window";
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(stops, 0);
}

} // namespace
