#include "platform/x11/X11SlowKeysWatch.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

bool X11SlowKeysWatch::start(Display* display)
{
    int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor))
        return false;
    xkbEventType = eventBase;
    const unsigned long notices = XkbAXN_SKPressMask | XkbAXN_SKAcceptMask | XkbAXN_SKRejectMask | XkbAXN_SKReleaseMask;
    return XkbSelectEventDetails(display, XkbUseCoreKbd, XkbAccessXNotify, notices, notices);
}

bool X11SlowKeysWatch::anyPending(Display* display)
{
    if (xkbEventType < 0)
        return false;
    XSync(display, False);
    // Nothing else on this connection asks for events.
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != xkbEventType)
            continue;
        const auto& notice = reinterpret_cast<const XkbEvent&>(event).accessx;
        if (notice.xkb_type != XkbAccessXNotify)
            continue;
        if (notice.detail == XkbAXN_SKPress)
            pending.insert(notice.keycode);
        else
            pending.erase(notice.keycode);
    }
    return !pending.empty();
}
