#pragma once

#include "platform/x11/X11ChordState.h"

#include <QString>

#include <chrono>
#include <optional>

struct xcb_connection_t;

// The paste chord's own connection to the X server, on which everything the
// chord sets goes out in one write: its modifiers, its key down and up, and
// the undo. Nothing of it is then in force at the server but while its key
// goes, so a key the user types meanwhile never takes the chord's modifiers
// and the tool's end never leaves them behind. Requests are built here rather
// than through Xlib, whose calls that wait for a reply send what is queued
// first.
class X11ChordConnection {
public:
    X11ChordConnection();
    ~X11ChordConnection();
    X11ChordConnection(const X11ChordConnection&) = delete;
    X11ChordConnection& operator=(const X11ChordConnection&) = delete;

    // Connected, with XKB and XTest, and the server still there.
    bool usable() const;

    std::optional<X11KeyboardModifiers> modifiers();
    // Puts `state` in force, reads the keyboard and takes it back, in one
    // write: what the chord's key would meet. Nothing when it cannot be read.
    std::optional<X11KeyboardModifiers> tryOut(const X11ChordState& state);
    // The chord itself, in one write; waits until the server has done it.
    // `hold` > 0 keeps the key down that long at the server (Slow Keys); a
    // note on the root window meanwhile lets the next start undo a chord cut
    // short by the tool's end.
    bool send(const X11ChordState& state, unsigned int key, std::chrono::milliseconds hold);

    // What a chord cut short by the tool's end left on the keyboard, undone;
    // a text for the log, empty when nothing was left.
    QString repairCutShortChord();

private:
    void latchLock(const X11LatchLock& change);
    // Asks for the keyboard's state, queued with what comes before it; the
    // answer is read with stateRead().
    unsigned int askState();
    std::optional<X11KeyboardModifiers> stateRead(unsigned int sequence);
    void fakeKey(bool down, unsigned int key, uint32_t delayMs);
    bool keyIsDown(unsigned int key);
    bool waitUntilDone();

    xcb_connection_t* connection = nullptr;
    uint32_t root = 0;
    uint32_t noteAtom = 0;
    bool ready = false;
};
