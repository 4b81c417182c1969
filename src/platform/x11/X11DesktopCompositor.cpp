#include "platform/x11/X11DesktopCompositor.h"

#include <X11/Xlib.h>

#include <string>

bool X11DesktopCompositor::isCompositing()
{
    // A short-lived connection: asked rarely, and the answer may change when
    // the compositor starts or stops.
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.c_str(), False);
    const bool owned = XGetSelectionOwner(display, selection) != None;
    XCloseDisplay(display);
    return owned;
}
