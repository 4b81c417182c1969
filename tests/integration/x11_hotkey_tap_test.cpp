#include "platform/x11/X11HotkeyTap.h"
#include "platform/x11/X11KeyCodes.h"
#include "support/LogCapture.h"
#include "support/XTestKeyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr uint16_t keyW = 13;
constexpr uint32_t option = X11KeyCodes::flagOption;
const QString pressW = QStringLiteral("press 87");
const QString pressX = QStringLiteral("press 88");

class X11HotkeyTapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(keyboard.isOpen());
        ASSERT_TRUE(recorder.start()) << "the recorder window never got the focus";
    }

    bool createTap(std::vector<HotkeyGrab> grabs = {{keyW, option}})
    {
        return tap.create(grabs, [this](const HotkeyEvent& event) {
            events.push_back(event);
            return HotkeyTap::Disposition::swallow;
        });
    }

    int count(HotkeyEvent::Type type, uint16_t keyCode, uint32_t flags) const
    {
        int n = 0;
        for (const HotkeyEvent& event : events)
            n += event.type == type && event.keyCode == keyCode && event.modifierFlags == flags;
        return n;
    }

    // Types a plain X afterwards: once the recorder has it, everything typed
    // before has been delivered wherever it went.
    bool settle()
    {
        keyboard.tap("x");
        return pumpUntil([this] { return recorder.saw(pressX); });
    }

    XTestKeyboard keyboard;
    KeystrokeRecorder recorder;
    X11HotkeyTap tap;
    std::vector<HotkeyEvent> events;
};

TEST_F(X11HotkeyTapTest, HeldShortcutRepeatsAsKeyDownsOnlyAndNeverReachesTheFocusedWindow)
{
    ASSERT_TRUE(createTap());
    keyboard.press("Alt_L");
    keyboard.press("w");
    pumpFor(1200); // past the server's auto-repeat delay
    keyboard.release("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(settle());
    pumpUntil([this] { return count(HotkeyEvent::Type::keyUp, keyW, option) > 0; });

    EXPECT_GT(count(HotkeyEvent::Type::keyDown, keyW, option), 1) << "the server auto-repeats a held key";
    EXPECT_EQ(count(HotkeyEvent::Type::keyUp, keyW, option), 1) << "auto-repeat must not look like releases";
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().type, HotkeyEvent::Type::keyUp);
    EXPECT_TRUE(events.back().endsGrab);
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const HotkeyEvent& event) { return event.endsGrab; }), 1);
    EXPECT_FALSE(recorder.saw(pressW));
    EXPECT_FALSE(recorder.saw(QStringLiteral("release 87")));
}

TEST_F(X11HotkeyTapTest, NumLockAndCapsLockDoNotDefeatTheGrab)
{
    ASSERT_TRUE(createTap());
    keyboard.tap("Num_Lock");
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    keyboard.tap("Num_Lock");

    keyboard.tap("Caps_Lock");
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    keyboard.tap("Caps_Lock");
    ASSERT_TRUE(settle());
    pumpUntil([this] { return events.size() >= 4; });

    EXPECT_EQ(count(HotkeyEvent::Type::keyDown, keyW, option), 1) << "NumLock is dropped from the flags";
    EXPECT_EQ(count(HotkeyEvent::Type::keyDown, keyW, option | X11KeyCodes::flagCapsLock), 1);
    EXPECT_FALSE(recorder.saw(pressW));
}

TEST_F(X11HotkeyTapTest, ReleasingTheModifierFirstReportsTheChangeAndABareKeyUp)
{
    ASSERT_TRUE(createTap());
    keyboard.press("Alt_L");
    keyboard.press("w");
    keyboard.release("Alt_L");
    keyboard.release("w");
    ASSERT_TRUE(settle());
    ASSERT_TRUE(pumpUntil([this] { return events.size() >= 3; }));

    EXPECT_EQ(events[0].type, HotkeyEvent::Type::keyDown);
    EXPECT_EQ(events[1].type, HotkeyEvent::Type::flagsChanged);
    EXPECT_EQ(events[1].keyCode, 58);
    EXPECT_EQ(events[1].modifierFlags, 0u);
    EXPECT_EQ(events[2].type, HotkeyEvent::Type::keyUp);
    EXPECT_EQ(events[2].keyCode, keyW);
    EXPECT_EQ(events[2].modifierFlags, 0u);
}

TEST_F(X11HotkeyTapTest, ACombinationHeldByAnotherClientIsNamedAndTheOthersWork)
{
    const std::vector<HotkeyGrab> grabs{{keyW, option}, {keyW, option | X11KeyCodes::flagShift}};
    {
        LogCapture log;
        ForeignKeyGrab desktopShortcut("w", 8 /* Mod1 */);
        EXPECT_TRUE(createTap(grabs));
        EXPECT_EQ(tap.refusedGrabs(), (std::vector<HotkeyGrab>{{keyW, option}}));
        EXPECT_TRUE(tap.isHeldByAnotherProgram({keyW, option}));
        EXPECT_FALSE(tap.isHeldByAnotherProgram({keyW, option | X11KeyCodes::flagCommand}));
        EXPECT_FALSE(tap.setGrabs(grabs)) << "still held elsewhere";
        EXPECT_EQ(log.systemLines().filter("(BadAccess)").size(), 1) << "each try again is not logged again";
    }
    EXPECT_FALSE(tap.isHeldByAnotherProgram({keyW, option}));
    EXPECT_TRUE(tap.setGrabs(grabs)) << "the same set again takes it once it is free";
    EXPECT_TRUE(tap.refusedGrabs().empty());
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(settle());
    EXPECT_FALSE(recorder.saw(pressW));
}

TEST_F(X11HotkeyTapTest, AModifierOnlyShortcutDoesNotKeepTheOthersFromWorking)
{
    ASSERT_TRUE(createTap({{65535, option | X11KeyCodes::flagCommand}, {keyW, option}}));
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(settle());
    pumpUntil([this] { return count(HotkeyEvent::Type::keyUp, keyW, option) > 0; });
    EXPECT_EQ(count(HotkeyEvent::Type::keyDown, keyW, option), 1);
    EXPECT_FALSE(recorder.saw(pressW));
}

TEST_F(X11HotkeyTapTest, DisabledOrRegrabbedTapLetsTheOldCombinationThrough)
{
    ASSERT_TRUE(createTap());
    tap.setEnabled(false);
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([this] { return recorder.saw(pressW); }));

    tap.setEnabled(true);
    ASSERT_TRUE(tap.setGrabs({{53, 0}})); // Escape alone
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    keyboard.tap("Escape");
    ASSERT_TRUE(settle());
    pumpUntil([this] { return !events.empty(); });

    EXPECT_EQ(recorder.lines().count(pressW), 2);
    EXPECT_EQ(count(HotkeyEvent::Type::keyDown, 53, 0), 1);
    EXPECT_EQ(count(HotkeyEvent::Type::keyDown, keyW, option), 0);
    EXPECT_FALSE(recorder.saw(QStringLiteral("press 16777216"))) << "Escape was grabbed";
}

// A key-map change that moves none of the shortcut keys (the desktop
// switching keyboards, a tool remapping a spare key) must not let go of the
// grabs even for a moment: a press in that moment reaches the focused window.
TEST_F(X11HotkeyTapTest, KeyMapChangesThatMoveNoShortcutKeyNeverLetTheShortcutThrough)
{
    ASSERT_TRUE(createTap());
    for (int round = 0; round < 40; ++round) {
        keyboard.touchKeyMap();
        keyboard.press("Alt_L");
        keyboard.tap("w");
        keyboard.release("Alt_L");
    }
    ASSERT_TRUE(settle());
    pumpUntil([this] { return count(HotkeyEvent::Type::keyUp, keyW, option) == 40; });
    EXPECT_EQ(recorder.lines().count(pressW), 0);
    EXPECT_EQ(count(HotkeyEvent::Type::keyDown, keyW, option), 40);
}

// Layouts switched by a test are put back for the next one.
class X11HotkeyTapLayoutTest : public X11HotkeyTapTest {
protected:
    void TearDown() override { keyboard.setLayout({QStringLiteral("us")}); }
};

// Russian first, US second, Russian active: the grab is on the key that
// types "w" in the US group, and its events must be matched by that key,
// not by the Cyrillic letter it types in the active group.
TEST_F(X11HotkeyTapLayoutTest, NonLatinActiveLayoutStillFiresTheGrabbedShortcut)
{
    ASSERT_TRUE(keyboard.setLayout({QStringLiteral("ru,us")}));
    ASSERT_TRUE(createTap());
    keyboard.press("Alt_L");
    keyboard.press("w");
    keyboard.release("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([this] { return count(HotkeyEvent::Type::keyUp, keyW, option) == 1; }));
    EXPECT_EQ(count(HotkeyEvent::Type::keyDown, keyW, option), 1);
    pumpFor(200);
    const QStringList presses = recorder.lines().filter(QStringLiteral("press "));
    EXPECT_EQ(presses.filter(QStringLiteral("press 16777251")), presses) << "only Alt reached the window";
}

TEST_F(X11HotkeyTapLayoutTest, AShortcutWhoseKeyTheMapLacksIsReportedNotArmed)
{
    ASSERT_TRUE(keyboard.setLayout({QStringLiteral("ru")}));
    ASSERT_TRUE(createTap({{53, 0}}));
    EXPECT_FALSE(tap.setGrabs({{keyW, option}, {53, 0}})) << "no key types w in this map";
    // The one that can be armed still works.
    keyboard.tap("Escape");
    ASSERT_TRUE(pumpUntil([this] { return count(HotkeyEvent::Type::keyDown, 53, 0) == 1; }));

    // A map that has the key arms it.
    ASSERT_TRUE(keyboard.setLayout({QStringLiteral("us")}));
    pumpFor(300); // the tap takes its grabs again on its own thread
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(settle());
    EXPECT_TRUE(pumpUntil([this] { return count(HotkeyEvent::Type::keyDown, keyW, option) == 1; }));
    EXPECT_FALSE(recorder.saw(pressW));
}

// After the layout changes under a running tap, the shortcut is on the key
// that types "w" now, and a shortcut held across the change is not let go.
TEST_F(X11HotkeyTapLayoutTest, ShortcutsFollowTheKeyAfterTheLayoutChanges)
{
    ASSERT_TRUE(createTap({{keyW, option}, {53, 0}}));
    ASSERT_TRUE(keyboard.setLayout({QStringLiteral("us"), QStringLiteral("-variant"), QStringLiteral("dvorak")}));
    pumpFor(300); // the tap takes its grabs again on its own thread
    keyboard.press("Alt_L");
    keyboard.tap("w");
    keyboard.release("Alt_L");
    keyboard.tap("Escape");
    ASSERT_TRUE(pumpUntil([this] { return count(HotkeyEvent::Type::keyDown, 53, 0) == 1; }));
    EXPECT_EQ(count(HotkeyEvent::Type::keyDown, keyW, option), 1);
    EXPECT_FALSE(recorder.saw(pressW));
    EXPECT_FALSE(recorder.saw(QStringLiteral("press 16777216"))) << "Escape stayed grabbed";
}

} // namespace
