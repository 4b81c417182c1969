#pragma once

#include <cstdint>

// The core keyboard's modifier state as XKB reports it (X modifier masks).
struct X11KeyboardModifiers {
    unsigned int effective = 0;
    unsigned int latched = 0;
    unsigned int locked = 0;
    unsigned int latchedGroup = 0;
    unsigned int group = 0;
};

// One change of the keyboard's latches and locks: one XKB LatchLockState
// request. Only the modifiers in an `affect` mask change.
struct X11LatchLock {
    unsigned int affectLocks = 0;
    unsigned int locks = 0;
    unsigned int affectLatches = 0;
    unsigned int latches = 0;
    bool setGroupLatch = false;
    unsigned int groupLatch = 0;
};

// What a paste chord sets on the keyboard for its key, and what puts the
// user's state back after it. The chord's modifiers are latched (a press of
// the user's lets go of a lock, not a latch) and locked (a key pressed first
// takes a latch, not a lock). The user's latches, and the user's locks that
// would change the chord (a locked Shift turns Ctrl+V into Ctrl+Shift+V),
// are set aside meanwhile. Caps Lock and Num Lock are left as they are: they
// change no chord.
struct X11ChordState {
    unsigned int chord = 0;
    unsigned int latchesAside = 0;
    unsigned int groupLatchAside = 0;
    unsigned int locksAside = 0;
    // The chord's modifiers the user had not locked already.
    unsigned int lockedByChord = 0;

    static X11ChordState plan(unsigned int chordMask, const X11KeyboardModifiers& before, unsigned int numLockMask);

    X11LatchLock putInForce() const;
    X11LatchLock takeBack() const;
    // Why the state read after putInForce() must not carry the chord's key,
    // or nothing when it may.
    const char* refusal(const X11KeyboardModifiers& before, const X11KeyboardModifiers& inForce) const;

private:
    X11LatchLock change(bool forTheChord) const;
};
