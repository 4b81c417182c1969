#pragma once

#include <set>

typedef struct _XDisplay Display;

// The keys Slow Keys has not taken yet: pressed, neither accepted nor let go.
// One of the user's pressed just before a chord would be taken while the
// chord's key is held for Slow Keys, with the chord's modifiers; the chord
// waits for it. Reads XKB's AccessX notices on the synthesizer's connection.
class X11SlowKeysWatch {
public:
    // Asks `display` for the notices; false without XKB.
    bool start(Display* display);
    // Whether a key is pressed and not yet taken, as of the server's events
    // up to now.
    bool anyPending(Display* display);
    // A notice missed (Slow Keys turned off meanwhile) leaves a key pending
    // that never comes: the caller's bound ends it.
    void forgetPending() { pending.clear(); }

private:
    int xkbEventType = -1;
    std::set<int> pending;
};
