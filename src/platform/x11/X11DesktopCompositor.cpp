#include "platform/x11/X11DesktopCompositor.h"
#include "platform/x11/XcbProperties.h"

#include <QGuiApplication>
#include <QRegion>
#include <QWindow>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

const char* const blurRegionName = "_KDE_NET_WM_BLUR_BEHIND_REGION";

bool compositing(Display* display)
{
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.c_str(), False);
    return XGetSelectionOwner(display, selection) != None;
}

bool rootHasProperty(Display* display, const char* name)
{
    // Only look the atom up: interning it would create it for everyone.
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return false;
    int count = 0;
    Atom* properties = XListProperties(display, DefaultRootWindow(display), &count);
    const bool found = properties && std::find(properties, properties + count, atom) != properties + count;
    if (properties)
        XFree(properties);
    return found;
}

} // namespace

// Short-lived connections: asked rarely, and the answers may change when
// the compositor starts or stops.
bool X11DesktopCompositor::isCompositing()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const bool owned = compositing(display);
    XCloseDisplay(display);
    return owned;
}

bool X11DesktopCompositor::blursBehindWindows()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    // The property may outlive a compositor that crashed.
    const bool blurs = compositing(display) && rootHasProperty(display, blurRegionName);
    XCloseDisplay(display);
    return blurs;
}

void X11DesktopCompositor::setBlurBehind(QWindow* window, const QRegion& region)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !window)
        return;
    // Qt's own connection, so that the request is in place before Qt maps
    // the window.
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t atom = internAtom(connection, blurRegionName);
    if (atom == XCB_ATOM_NONE)
        return;
    if (region.isEmpty()) {
        xcb_delete_property(connection, id, atom);
    } else {
        // The property lists x, y, width, height in the window's pixels.
        const double ratio = window->devicePixelRatio();
        const auto scaled = [ratio](int value) { return static_cast<uint32_t>(std::lround(value * ratio)); };
        std::vector<uint32_t> values;
        for (const QRect& rect : region) {
            const uint32_t left = scaled(rect.left());
            const uint32_t top = scaled(rect.top());
            values.insert(values.end(),
                {left, top, scaled(rect.left() + rect.width()) - left, scaled(rect.top() + rect.height()) - top});
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom, XCB_ATOM_CARDINAL, 32,
            static_cast<uint32_t>(values.size()), values.data());
    }
    xcb_flush(connection);
}
