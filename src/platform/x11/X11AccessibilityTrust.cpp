#include "platform/x11/X11AccessibilityTrust.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

bool X11AccessibilityTrust::isTrusted()
{
    // A fresh connection each time: the answer may change (display restarted),
    // and the check only runs at arming time and in the permission poll.
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    const bool hasXTest = XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
    XCloseDisplay(display);
    return hasXTest;
}
