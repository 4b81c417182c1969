#pragma once

// What a shortcut capture control needs of the application: while a capture
// is armed the global shortcuts must not fire, and on X11 their grabs must be
// released so that the keys reach the window at all.
class ShortcutCaptureHost {
public:
    virtual ~ShortcutCaptureHost() = default;
    // Suspended from arming until the capture ends. Calls come in pairs:
    // every true is followed by one false.
    virtual void setGlobalShortcutsSuspended(bool suspended) = 0;
};
