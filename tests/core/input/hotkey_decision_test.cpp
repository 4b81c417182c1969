#include "core/input/HotkeyDecision.h"

#include "core/input/KeyboardShortcutManager.h"
#include "support/SettingsReset.h"

#include <gtest/gtest.h>

namespace {

constexpr uint16_t keyW = 13;
constexpr uint16_t keyEscape = 53;
constexpr uint16_t keyOption = 58;
constexpr uint32_t option = KeyboardShortcut::optionFlag;
constexpr uint32_t shift = KeyboardShortcut::shiftFlag;
constexpr uint32_t command = KeyboardShortcut::commandFlag;
constexpr uint32_t caps = KeyboardShortcut::capsLockFlag;
// A realistic wall-clock time: doubles this large carry rounding noise.
constexpr double t0 = 1765000000.1;

using Type = HotkeyEvent::Type;

class HotkeyDecisionTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        KeyboardShortcutManager::shared().loadShortcuts();
    }

    HotkeyDecision decide(Type type, uint16_t keyCode, uint32_t flags)
    {
        return decideHotkeyEvent(HotkeyEvent{type, keyCode, flags}, context, KeyboardShortcutManager::shared());
    }

    void recording(RecordingMode mode)
    {
        context.isRecording = true;
        context.mode = mode;
    }

    HotkeyContext context{false, RecordingMode::pushToTalk, t0, 0, 0.3};
};

void expectPassedOn(const HotkeyDecision& decision)
{
    EXPECT_EQ(decision.command, HotkeyCommand::none);
    EXPECT_FALSE(decision.swallow);
    EXPECT_FALSE(decision.renewToggleTime);
}

void expectSwallowedOnly(const HotkeyDecision& decision)
{
    EXPECT_EQ(decision.command, HotkeyCommand::none);
    EXPECT_TRUE(decision.swallow);
    EXPECT_FALSE(decision.renewToggleTime);
}

TEST_F(HotkeyDecisionTest, HeldPushToTalkStartsOnceIgnoresRepeatsAndStopsOnRelease)
{
    const HotkeyDecision first = decide(Type::keyDown, keyW, option);
    EXPECT_EQ(first.command, HotkeyCommand::startPushToTalk);
    EXPECT_TRUE(first.swallow);

    recording(RecordingMode::pushToTalk);
    for (int repeat = 0; repeat < 3; ++repeat)
        expectSwallowedOnly(decide(Type::keyDown, keyW, option));

    const HotkeyDecision release = decide(Type::keyUp, keyW, option);
    EXPECT_EQ(release.command, HotkeyCommand::stopAndTranscribe);
    EXPECT_TRUE(release.swallow);

    // The repeats of a press whose recording never started start nothing,
    // and a held toggle shortcut toggles once.
    context.isRecording = false;
    context.isAutoRepeat = true;
    expectSwallowedOnly(decide(Type::keyDown, keyW, option));
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | command));
}

TEST_F(HotkeyDecisionTest, PushToTalkEndsWhenTheModifierIsLetGoFirst)
{
    recording(RecordingMode::pushToTalk);
    // Option released while W is still down: stop, but the change passes on.
    const HotkeyDecision change = decide(Type::flagsChanged, keyOption, 0);
    EXPECT_EQ(change.command, HotkeyCommand::stopAndTranscribe);
    EXPECT_FALSE(change.swallow);

    // Had that change been missed, the bare key-up still ends it.
    const HotkeyDecision bareRelease = decide(Type::keyUp, keyW, 0);
    EXPECT_EQ(bareRelease.command, HotkeyCommand::stopAndTranscribe);
    EXPECT_TRUE(bareRelease.swallow);

    // Pressing an extra modifier keeps the required one held: no stop.
    expectPassedOn(decide(Type::flagsChanged, 56, option | shift));
    // Caps Lock toggling on is not a release either.
    expectPassedOn(decide(Type::flagsChanged, 57, option | caps));
}

TEST_F(HotkeyDecisionTest, ReleasesAndModifierChangesOutsidePushToTalkPassOn)
{
    expectPassedOn(decide(Type::keyUp, keyW, option));
    expectPassedOn(decide(Type::flagsChanged, keyOption, 0));

    recording(RecordingMode::toggle);
    expectPassedOn(decide(Type::keyUp, keyW, option));
    expectPassedOn(decide(Type::flagsChanged, keyOption, 0));
    {
        SCOPED_TRACE("toggle key-ups are not taken");
        expectPassedOn(decide(Type::keyUp, keyW, option | command));
    }

    recording(RecordingMode::studio);
    expectPassedOn(decide(Type::keyUp, keyW, option));
}

TEST_F(HotkeyDecisionTest, ToggleDebounceAcceptsExactlyTheIntervalAndRejectsLess)
{
    const HotkeyDecision start = decide(Type::keyDown, keyW, option | command);
    EXPECT_EQ(start.command, HotkeyCommand::startToggle);
    EXPECT_TRUE(start.swallow);
    EXPECT_TRUE(start.renewToggleTime) << "the first toggle passes with no earlier time";

    recording(RecordingMode::toggle);
    context.lastToggleTime = t0;
    context.now = t0 + 0.2;
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | command));
    context.now = t0 + 0.2999;
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | command));

    context.now = t0 + 0.3;
    const HotkeyDecision stop = decide(Type::keyDown, keyW, option | command);
    EXPECT_EQ(stop.command, HotkeyCommand::stopAndTranscribe);
    EXPECT_TRUE(stop.swallow);
    EXPECT_TRUE(stop.renewToggleTime);
}

TEST_F(HotkeyDecisionTest, ShortcutsOfTheOtherModeAreSwallowedWithoutEffect)
{
    recording(RecordingMode::pushToTalk);
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | command)); // no debounce renewal either

    recording(RecordingMode::toggle);
    expectSwallowedOnly(decide(Type::keyDown, keyW, option));
    expectPassedOn(decide(Type::keyUp, keyW, option));

    recording(RecordingMode::studio);
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | command));
}

TEST_F(HotkeyDecisionTest, ThirdShortcutIsSwallowedAndDoesNothing)
{
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | shift));
    expectPassedOn(decide(Type::keyUp, keyW, option | shift));
}

TEST_F(HotkeyDecisionTest, UnmatchedKeystrokesPassOnAlsoWhileRecording)
{
    expectPassedOn(decide(Type::keyDown, keyW, 0));
    expectPassedOn(decide(Type::keyDown, 14, option));
    recording(RecordingMode::pushToTalk);
    expectPassedOn(decide(Type::keyDown, 14, 0));
    expectPassedOn(decide(Type::keyUp, 14, option));
}

TEST_F(HotkeyDecisionTest, CapsLockNeverChangesWhatAShortcutDoes)
{
    // Push-to-talk: start, repeat, release, modifier let go first.
    EXPECT_EQ(decide(Type::keyDown, keyW, option | caps).command, HotkeyCommand::startPushToTalk);
    recording(RecordingMode::pushToTalk);
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | caps));
    EXPECT_EQ(decide(Type::keyUp, keyW, option | caps).command, HotkeyCommand::stopAndTranscribe);
    EXPECT_EQ(decide(Type::flagsChanged, keyOption, caps).command, HotkeyCommand::stopAndTranscribe);
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | command | caps));

    // Toggle: start and stop; the other two shortcuts are still taken.
    context = HotkeyContext{false, RecordingMode::pushToTalk, t0, 0, 0.3};
    const HotkeyDecision start = decide(Type::keyDown, keyW, option | command | caps);
    EXPECT_EQ(start.command, HotkeyCommand::startToggle);
    recording(RecordingMode::toggle);
    context.lastToggleTime = t0;
    context.now = t0 + 1;
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | caps));
    expectSwallowedOnly(decide(Type::keyDown, keyW, option | shift | caps));
    EXPECT_EQ(decide(Type::keyDown, keyEscape, caps).command, HotkeyCommand::cancel);
    EXPECT_EQ(decide(Type::keyDown, keyW, option | command | caps).command, HotkeyCommand::stopAndTranscribe);

    // A shortcut stored with the Caps bit matches with Caps Lock off as well.
    context = HotkeyContext{false, RecordingMode::pushToTalk, t0, 0, 0.3};
    KeyboardShortcutManager::shared().updateShortcut(
        ShortcutAction::quickTranscribe, KeyboardShortcut{49, caps | shift});
    EXPECT_EQ(decide(Type::keyDown, 49, shift).command, HotkeyCommand::startPushToTalk);
}

TEST_F(HotkeyDecisionTest, EscapeCancelsOnlyAToggleRecording)
{
    expectPassedOn(decide(Type::keyDown, keyEscape, 0));
    recording(RecordingMode::pushToTalk);
    expectPassedOn(decide(Type::keyDown, keyEscape, 0));
    recording(RecordingMode::studio);
    expectPassedOn(decide(Type::keyDown, keyEscape, 0));

    recording(RecordingMode::toggle);
    const HotkeyDecision cancel = decide(Type::keyDown, keyEscape, 0);
    EXPECT_EQ(cancel.command, HotkeyCommand::cancel);
    EXPECT_TRUE(cancel.swallow);
    EXPECT_FALSE(cancel.renewToggleTime);
    expectPassedOn(decide(Type::keyUp, keyEscape, 0));
}

TEST_F(HotkeyDecisionTest, RulesFollowChangedShortcuts)
{
    auto& manager = KeyboardShortcutManager::shared();
    manager.updateShortcut(ShortcutAction::quickTranscribe, KeyboardShortcut{49, KeyboardShortcut::controlFlag});

    expectPassedOn(decide(Type::keyDown, keyW, option));
    EXPECT_EQ(decide(Type::keyDown, 49, KeyboardShortcut::controlFlag).command, HotkeyCommand::startPushToTalk);
    recording(RecordingMode::pushToTalk);
    EXPECT_EQ(decide(Type::keyUp, 49, 0).command, HotkeyCommand::stopAndTranscribe);
    {
        SCOPED_TRACE("the old key no longer ends it");
        expectPassedOn(decide(Type::keyUp, keyW, option));
    }
}

TEST_F(HotkeyDecisionTest, GrabsCoverTheShortcutsAndEscapeOnlyWhenAsked)
{
    auto& manager = KeyboardShortcutManager::shared();
    const std::vector<HotkeyGrab> defaults{{keyW, option}, {keyW, option | shift}, {keyW, option | command}};
    EXPECT_EQ(hotkeyGrabs(manager, false), defaults);

    std::vector<HotkeyGrab> withEscape = defaults;
    withEscape.push_back({keyEscape, 0});
    EXPECT_EQ(hotkeyGrabs(manager, true), withEscape);

    manager.updateShortcut(ShortcutAction::continuousRecording, KeyboardShortcut{49, KeyboardShortcut::controlFlag});
    const auto changed = hotkeyGrabs(manager, false);
    ASSERT_EQ(changed.size(), 3u);
    EXPECT_EQ(changed[2], (HotkeyGrab{49, KeyboardShortcut::controlFlag}));
}

} // namespace
