#include "platform/x11/X11ChordState.h"

namespace {

constexpr unsigned int capsLockMask = 1u << 1; // LockMask

} // namespace

X11ChordState X11ChordState::plan(unsigned int chordMask, const X11KeyboardModifiers& before, unsigned int numLockMask)
{
    X11ChordState state;
    state.chord = chordMask;
    state.latchesAside = before.latched & ~chordMask;
    state.groupLatchAside = before.latchedGroup;
    state.locksAside = before.locked & ~chordMask & ~capsLockMask & ~numLockMask;
    state.lockedByChord = chordMask & ~before.locked;
    return state;
}

X11LatchLock X11ChordState::putInForce() const
{
    return change(true);
}

X11LatchLock X11ChordState::takeBack() const
{
    return change(false);
}

// The same modifiers change both ways: to the chord's, and back to the user's.
X11LatchLock X11ChordState::change(bool forTheChord) const
{
    X11LatchLock change;
    change.affectLocks = lockedByChord | locksAside;
    change.locks = forTheChord ? lockedByChord : locksAside;
    change.affectLatches = chord | latchesAside;
    change.latches = forTheChord ? chord : latchesAside;
    change.setGroupLatch = groupLatchAside != 0;
    change.groupLatch = forTheChord ? 0 : groupLatchAside;
    return change;
}

const char* X11ChordState::refusal(const X11KeyboardModifiers& before, const X11KeyboardModifiers& inForce) const
{
    if ((inForce.effective & chord) != chord)
        return "the chord's modifiers did not take hold on the keyboard";
    if ((inForce.effective & locksAside) != 0)
        return "a modifier the user locked could not be set aside";
    if (inForce.group != before.group)
        return "the keyboard's layout group changed";
    return nullptr;
}
