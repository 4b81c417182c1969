#include "platform/x11/X11AccessX.h"
#include "platform/x11/X11ChordState.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned int shift = 1, capsLock = 2, control = 4, alt = 8, numLock = 16, level3 = 128;

// The state the keyboard shows once `change` has been applied to `before`,
// as XKB applies a LatchLockState request (no key is down).
X11KeyboardModifiers applied(X11KeyboardModifiers before, const X11LatchLock& change)
{
    before.locked = (before.locked & ~change.affectLocks) | (change.locks & change.affectLocks);
    before.latched = (before.latched & ~change.affectLatches) | (change.latches & change.affectLatches);
    if (change.setGroupLatch)
        before.latchedGroup = change.groupLatch;
    before.effective = before.locked | before.latched;
    return before;
}

} // namespace

// Only the chord's modifiers are in force for its key, whatever the user has
// latched or locked; Caps Lock and Num Lock stay, as they change no chord;
// everything of the user's is as it was afterwards.
TEST(X11ChordState, TheKeyMeetsOnlyTheChordsModifiersAndTheUsersStateComesBack)
{
    struct Case {
        unsigned int chord;
        X11KeyboardModifiers user;
        unsigned int inForceForTheKey;
    };
    const Case cases[] = {
        {control, {}, control},
        {control, {shift, 0, shift, 0, 0}, control}, // Shift locked: Ctrl+V, not Ctrl+Shift+V
        {control, {shift | alt, alt, shift, 1, 0}, control}, // Sticky Keys latches, a group latch
        {control, {control, 0, control, 0, 0}, control}, // Ctrl locked already
        {control | shift, {shift, 0, shift, 0, 0}, control | shift},
        {shift, {control | level3, 0, control | level3, 0, 0}, shift},
        {control, {capsLock | numLock, 0, capsLock | numLock, 0, 0}, control | capsLock | numLock},
    };
    for (const Case& c : cases) {
        X11KeyboardModifiers user = c.user;
        user.effective = user.latched | user.locked;
        const X11ChordState state = X11ChordState::plan(c.chord, user, numLock);
        const X11KeyboardModifiers forKey = applied(user, state.putInForce());
        EXPECT_EQ(forKey.effective, c.inForceForTheKey) << "chord " << c.chord << ", user locks " << user.locked;
        EXPECT_EQ(forKey.latchedGroup, 0u);
        EXPECT_EQ(state.refusal(user, forKey), nullptr);

        const X11KeyboardModifiers after = applied(forKey, state.takeBack());
        EXPECT_EQ(after.locked, user.locked) << "chord " << c.chord;
        EXPECT_EQ(after.latched, user.latched) << "chord " << c.chord;
        EXPECT_EQ(after.latchedGroup, user.latchedGroup);
    }
}

TEST(X11ChordState, AChordWhoseModifiersDidNotTakeHoldOrThatMovedTheGroupIsRefused)
{
    const X11KeyboardModifiers user{shift, 0, shift, 0, 0};
    const X11ChordState state = X11ChordState::plan(control, user, numLock);
    EXPECT_NE(state.refusal(user, X11KeyboardModifiers{}), nullptr);
    EXPECT_NE(state.refusal(user, X11KeyboardModifiers{control | shift, control, control | shift, 0, 0}), nullptr);
    EXPECT_NE(state.refusal(user, X11KeyboardModifiers{control, control, control, 0, 1}), nullptr);
}

// Slow Keys take a key held past their delay, and a repeat starts its own
// delay after that; a short repeat delay shortens the margin, never the hold.
TEST(X11AccessX, TheKeyIsHeldPastSlowKeysButNotIntoARepeatAndSpacedPastBounceKeys)
{
    using std::chrono::milliseconds;
    X11AccessX controls;
    EXPECT_EQ(controls.keyHold(), milliseconds(0));
    EXPECT_EQ(controls.sameKeySpacing(), milliseconds(0));

    controls.slowKeysDelay = milliseconds(300);
    controls.repeatDelay = milliseconds(660);
    EXPECT_GT(controls.keyHold(), milliseconds(300));
    EXPECT_LT(controls.keyHold(), milliseconds(300 + 660));
    controls.repeatDelay = milliseconds(20);
    EXPECT_GT(controls.keyHold(), milliseconds(300));
    EXPECT_LT(controls.keyHold(), milliseconds(320));

    controls.debounceDelay = milliseconds(300);
    EXPECT_GT(controls.sameKeySpacing(), milliseconds(300));
}
