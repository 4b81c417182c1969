#pragma once

#include "core/input/KeyboardShortcut.h"

// What a shortcut capture control needs of the application: while a capture
// is armed the global shortcuts must not fire, and on X11 their grabs must be
// released so that the keys reach the window at all. A shortcut that another
// program holds cannot be used, and the rows say so.
class ShortcutCaptureHost {
public:
    virtual ~ShortcutCaptureHost() = default;
    // Suspended from arming until the capture ends. Calls come in pairs:
    // every true is followed by one false.
    virtual void setGlobalShortcutsSuspended(bool suspended) = 0;
    // True when another program holds `shortcut`; the user has then been
    // told so, and the shortcut must not be stored.
    virtual bool refuseTakenShortcut(const KeyboardShortcut& shortcut) = 0;
    // Whether a stored shortcut could not be armed because another program
    // holds it.
    virtual bool isShortcutTaken(const KeyboardShortcut& shortcut) const = 0;
};
