#pragma once

#include <QString>

typedef struct _XDisplay Display;

// Modifiers put in force on the X keyboard for the keys sent meanwhile,
// without a key of theirs: latched and locked through XKB on the core
// keyboard, which the server applies to every keyboard under it, XTest's
// included. No key action runs, so a layout-switch option that makes a
// modifier key switch the group at some level (grp:ctrls_toggle,
// grp:ctrl_shift_toggle, ...) never sees a press, and a key another client
// left down on XTest's device cannot swallow one. A latch survives the user
// letting go of a modifier key (the release clears a lock), a lock survives
// another key going down first (the press takes a latch). The user's own
// latches are set aside meanwhile, so the keys sent take exactly the
// modifiers asked for; everything is as before once this ends.
class X11ModifiersInForce {
public:
    // `mask`: X modifier bits (ControlMask | ShiftMask). Reads the state
    // after: whether they are in force is checked, not assumed.
    X11ModifiersInForce(Display* display, unsigned int mask);
    ~X11ModifiersInForce();
    X11ModifiersInForce(const X11ModifiersInForce&) = delete;
    X11ModifiersInForce& operator=(const X11ModifiersInForce&) = delete;

    bool inForce() const { return failure.isEmpty(); }
    // Why not, for the log.
    const QString& whyNot() const { return failure; }

private:
    Display* display;
    QString failure;
    unsigned int latched = 0;
    unsigned int locked = 0;
    unsigned int usersLatchedModifiers = 0;
    int usersLatchedGroup = 0;
};
