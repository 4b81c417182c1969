#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11DisplayLoss.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <atomic>

bool X11AccessibilityTrust::isTrusted()
{
    // A fresh connection each time: the answer may change (display restarted),
    // and the check only runs at arming time and in the permission poll.
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    std::atomic<bool> lost{false};
    X11DisplayLoss::watch(display, lost);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    const bool hasXTest = XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
    X11DisplayLoss::forget(display);
    XCloseDisplay(display);
    return hasXTest && !lost;
}
