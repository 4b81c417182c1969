#include "platform/x11/X11TaskbarVisibility.h"
#include "platform/x11/XcbProperties.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

} // namespace

void X11TaskbarVisibility::setSkipsTaskbar(QWindow* window, bool skip)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !window)
        return;
    // Qt's own connection, so that the state is in place before Qt maps a
    // window it is about to show.
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const std::array<xcb_atom_t, 2> skipped = {
        internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"), internAtom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE)
        return;

    // Once Qt has asked for the window to be mapped, the window manager owns
    // its state, although the window may not be mapped yet: it may already
    // have read the property and would never see a later write. Only a
    // withdrawn window's property is ours to write.
    if (window->isVisible()) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = id;
        message.type = state;
        message.data.data32[0] = skip ? 1 : 0; // add or remove
        message.data.data32[1] = skipped[0];
        message.data.data32[2] = skipped[1];
        message.data.data32[3] = 1; // from an application
        xcb_send_event(connection, 0, rootOf(connection, id),
            XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
            reinterpret_cast<const char*>(&message));
    } else {
        std::vector<xcb_atom_t> atoms = propertyValues(connection, id, state, XCB_ATOM_ATOM);
        std::erase_if(atoms, [&](xcb_atom_t atom) { return std::ranges::find(skipped, atom) != skipped.end(); });
        if (skip)
            atoms.insert(atoms.end(), skipped.begin(), skipped.end());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
            static_cast<uint32_t>(atoms.size()), atoms.data());
    }
    xcb_flush(connection);
}
