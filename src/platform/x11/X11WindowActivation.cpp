#include "platform/x11/X11WindowActivation.h"
#include "platform/x11/XcbProperties.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

// Whether server time `a` comes after `b`; the clock wraps after 49 days.
bool isAfter(uint32_t a, uint32_t b)
{
    return static_cast<int32_t>(a - b) > 0;
}

// The user time goes where Qt keeps it: on a window of its own when the
// window manager supports that, else on the window.
void setUserTime(xcb_connection_t* connection, xcb_window_t window, uint32_t time)
{
    const xcb_atom_t userTime = internAtom(connection, "_NET_WM_USER_TIME");
    const std::optional<uint32_t> holder =
        propertyValue(connection, window, internAtom(connection, "_NET_WM_USER_TIME_WINDOW"), XCB_ATOM_WINDOW);
    const xcb_window_t target = holder.value_or(window);
    // An input in the window after the start is newer still.
    if (const std::optional<uint32_t> current = propertyValue(connection, target, userTime, XCB_ATOM_CARDINAL);
        current && !isAfter(time, *current))
        return;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, target, userTime, XCB_ATOM_CARDINAL, 32, 1, &time);
}

void requestActivation(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window, uint32_t time)
{
    const QWindow* focused = QGuiApplication::focusWindow();
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = internAtom(connection, "_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 1; // from an application
    message.data.data32[1] = time;
    message.data.data32[2] = focused && focused->handle() ? static_cast<uint32_t>(focused->winId()) : 0;
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char*>(&message));
}

// A startup-notification message: NUL-terminated text in pieces of 20
// bytes, the first typed _NET_STARTUP_INFO_BEGIN.
void sendStartupMessage(xcb_connection_t* connection, xcb_window_t root, xcb_window_t sender, const QByteArray& text)
{
    const xcb_atom_t begin = internAtom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = internAtom(connection, "_NET_STARTUP_INFO");
    const QByteArray bytes = text + '\0';
    for (qsizetype sent = 0; sent < bytes.size(); sent += 20) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 8;
        message.window = sender;
        message.type = sent == 0 ? begin : more;
        std::memcpy(message.data.data8, bytes.constData() + sent, std::min<qsizetype>(20, bytes.size() - sent));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&message));
    }
}

QByteArray quoted(const QByteArray& value)
{
    QByteArray text = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            text += '\\';
        text += c;
    }
    return text + '"';
}

} // namespace

void X11WindowActivation::activate(QWindow* window, const ActivationToken& token)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !window || !window->handle() || token.isEmpty())
        return;
    // Qt's own connection: its map and stacking requests for the window go
    // first, so the window manager knows the window when ours arrive.
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_window_t root = rootOf(connection, id);
    if (!token.startupId.isEmpty())
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_STARTUP_ID"),
            internAtom(connection, "UTF8_STRING"), 8, static_cast<uint32_t>(token.startupId.size()),
            token.startupId.constData());
    if (token.time != 0) {
        setUserTime(connection, id, token.time);
        requestActivation(connection, root, id, token.time);
    }
    // The launcher shows the start as under way until it hears this.
    if (!token.startupId.isEmpty())
        sendStartupMessage(connection, root, id, "remove: ID=" + quoted(token.startupId));
    xcb_flush(connection);
}
