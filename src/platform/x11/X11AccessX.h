#pragma once

#include <chrono>

typedef struct _XDisplay Display;

// The desktop's accessibility settings of the keyboard (XKB's AccessX
// controls) as a synthesized key has to meet them: the server applies the
// core keyboard's controls to XTest's keys too.
struct X11AccessX {
    using Milliseconds = std::chrono::milliseconds;

    // Slow Keys: a key counts only once it has been down this long.
    Milliseconds slowKeysDelay{0};
    // Bounce Keys: a key pressed again within this of its release is dropped.
    Milliseconds debounceDelay{0};
    // Auto-repeat starts this long after a key counts; 0: no repeat.
    Milliseconds repeatDelay{0};

    // The controls in force now; all off when they cannot be read.
    static X11AccessX read(Display* display);

    // How long a synthesized key stays down: long enough for Slow Keys to
    // take it, never long enough to repeat. 0: a tap.
    Milliseconds keyHold() const;
    // How long after a key's release the same key may go down again and
    // count.
    Milliseconds sameKeySpacing() const;
};
