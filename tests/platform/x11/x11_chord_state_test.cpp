#include "platform/x11/X11ChordState.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned int shift = 1, capsLock = 2, control = 4, alt = 8, numLock = 16;

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
        unsigned int latched, locked, latchedGroup;
        unsigned int inForceForTheKey;
    };
    const Case cases[] = {
        {control, alt, shift, 1, control}, // Sticky Keys' latch, a locked Shift, a group latch
        {control, 0, control, 0, control}, // Ctrl locked already: it stays locked
        {control | shift, 0, shift, 0, control | shift},
        {control, 0, capsLock | numLock, 0, control | capsLock | numLock},
    };
    for (const Case& c : cases) {
        X11KeyboardModifiers user;
        user.latched = c.latched;
        user.locked = c.locked;
        user.latchedGroup = c.latchedGroup;
        user.effective = c.latched | c.locked;
        const X11ChordState state = X11ChordState::plan(c.chord, user, numLock);
        const X11KeyboardModifiers forKey = applied(user, state.putInForce());
        EXPECT_EQ(forKey.effective, c.inForceForTheKey) << "chord " << c.chord << ", user locks " << c.locked;
        EXPECT_EQ(forKey.latchedGroup, 0u);
        EXPECT_EQ(state.refusal(user, forKey), nullptr);

        const X11KeyboardModifiers after = applied(forKey, state.takeBack());
        EXPECT_EQ(after.locked, user.locked) << "chord " << c.chord;
        EXPECT_EQ(after.latched, user.latched) << "chord " << c.chord;
        EXPECT_EQ(after.latchedGroup, user.latchedGroup);
    }
}
