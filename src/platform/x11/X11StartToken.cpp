#include "platform/x11/X11StartToken.h"
#include "platform/x11/XcbProperties.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <limits>

namespace {

// The server's time now: a window of our own reports the time of a property
// change that changes nothing. 0 without a display.
uint32_t serverTime()
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    uint32_t time = 0;
    if (!xcb_connection_has_error(connection)) {
        const xcb_window_t window = xcb_generate_id(connection);
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection, 0, window, screenOf(connection, screenNumber)->root, 0, 0, 1, 1, 0,
            XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(connection);
        // The event is the answer to our own request: it comes, or the
        // connection breaks.
        while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
            const bool found = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY
                && reinterpret_cast<xcb_property_notify_event_t*>(event)->window == window;
            if (found)
                time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
            std::free(event);
            if (found)
                break;
        }
    }
    xcb_disconnect(connection);
    return time;
}

} // namespace

namespace X11StartToken {

uint32_t timeIn(const QByteArray& startupId)
{
    const qsizetype marker = startupId.lastIndexOf("_TIME");
    if (marker < 0)
        return 0;
    qsizetype end = marker + 5;
    while (end < startupId.size() && startupId.at(end) >= '0' && startupId.at(end) <= '9')
        ++end;
    bool ok = false;
    const qulonglong time = startupId.mid(marker + 5, end - marker - 5).toULongLong(&ok);
    return ok && time <= std::numeric_limits<uint32_t>::max() ? static_cast<uint32_t>(time) : 0;
}

ActivationToken forThisStart(const QByteArray& launcherStartupId)
{
    ActivationToken token{launcherStartupId, timeIn(launcherStartupId)};
    if (token.time == 0)
        token.time = serverTime();
    return token;
}

} // namespace X11StartToken
