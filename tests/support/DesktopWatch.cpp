#include "support/DesktopWatch.h"
#include "support/UnsharedCopy.h"

#include "platform/x11/X11StartToken.h"
#include "platform/x11/XcbProperties.h"

#include <QHash>

#include <xcb/xcb.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

QByteArray nameOf(xcb_connection_t* connection, xcb_atom_t atom)
{
    xcb_get_atom_name_reply_t* reply =
        xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atom), nullptr);
    QByteArray name;
    if (reply)
        name = QByteArray(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
    std::free(reply);
    return name;
}

} // namespace

struct DesktopWatch::Connection {
    xcb_connection_t* x = nullptr;
    xcb_window_t root = 0;
    xcb_atom_t clientList = 0;
    xcb_atom_t state = 0;
    xcb_atom_t activeWindow = 0;
    xcb_atom_t startupBegin = 0;
    xcb_atom_t startupMore = 0;
    std::vector<uint32_t> listed;
    // Startup messages still arriving, by the window that sends them.
    QHash<uint32_t, QByteArray> partial;

    ~Connection() { xcb_disconnect(x); }
};

DesktopWatch::DesktopWatch() : connection(std::make_unique<Connection>())
{
    int screen = 0;
    Connection& c = *connection;
    c.x = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(c.x) || pipe(wakeFd) != 0)
        return;
    c.root = screenOf(c.x, screen)->root;
    c.clientList = internAtom(c.x, "_NET_CLIENT_LIST");
    c.state = internAtom(c.x, "_NET_WM_STATE");
    c.activeWindow = internAtom(c.x, "_NET_ACTIVE_WINDOW");
    c.startupBegin = internAtom(c.x, "_NET_STARTUP_INFO_BEGIN");
    c.startupMore = internAtom(c.x, "_NET_STARTUP_INFO");
    const uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c.x, c.root, XCB_CW_EVENT_MASK, &events);
    // Windows listed before the watch began are not new listings.
    c.listed = propertyValues(c.x, c.root, c.clientList, XCB_ATOM_WINDOW);
    listedNow = QList<uint32_t>(c.listed.begin(), c.listed.end());
    watching = std::thread([this] { watch(); });
}

DesktopWatch::~DesktopWatch()
{
    if (watching.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t written = write(wakeFd[1], &stop, 1);
        watching.join();
    }
    for (const int fd : wakeFd)
        if (fd >= 0)
            close(fd);
}

void DesktopWatch::watch()
{
    Connection& c = *connection;
    while (true) {
        // Replies read while handling an event may have queued further ones.
        while (xcb_generic_event_t* event = xcb_poll_for_event(c.x)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_PROPERTY_NOTIFY) {
                const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
                if (change->window == c.root && change->atom == c.clientList) {
                    const std::vector<uint32_t> now = propertyValues(c.x, c.root, c.clientList, XCB_ATOM_WINDOW);
                    for (const uint32_t window : now) {
                        if (std::find(c.listed.begin(), c.listed.end(), window) != c.listed.end())
                            continue;
                        Listing listing{window, {}};
                        for (const uint32_t atom : propertyValues(c.x, window, c.state, XCB_ATOM_ATOM))
                            listing.state.insert(nameOf(c.x, atom));
                        const std::lock_guard guard(seenLock);
                        listings.append(listing);
                    }
                    c.listed = now;
                    const std::lock_guard guard(seenLock);
                    listedNow = QList<uint32_t>(now.begin(), now.end());
                }
            } else if (type == XCB_CLIENT_MESSAGE) {
                const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
                if (message->type == c.activeWindow && message->format == 32) {
                    const std::lock_guard guard(seenLock);
                    requests.append({message->window, message->data.data32[0], message->data.data32[1]});
                } else if ((message->type == c.startupBegin || message->type == c.startupMore)
                    && message->format == 8) {
                    QByteArray& text = c.partial[message->window];
                    if (message->type == c.startupBegin)
                        text.clear();
                    const auto* bytes = reinterpret_cast<const char*>(message->data.data8);
                    const qsizetype end = std::find(bytes, bytes + 20, '\0') - bytes;
                    text.append(bytes, end);
                    if (end < 20) {
                        const std::lock_guard guard(seenLock);
                        messages.append(c.partial.take(message->window));
                    }
                }
            }
            std::free(event);
        }
        if (xcb_connection_has_error(c.x))
            return;
        pollfd waits[2] = {{xcb_get_file_descriptor(c.x), POLLIN, 0}, {wakeFd[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0 || waits[1].revents != 0)
            return;
    }
}

QList<DesktopWatch::Listing> DesktopWatch::listingsOf(uint32_t window) const
{
    const std::lock_guard guard(seenLock);
    QList<Listing> found;
    for (const Listing& listing : listings)
        if (listing.window == window)
            found.append(listing);
    return found;
}

bool DesktopWatch::isListed(uint32_t window) const
{
    const std::lock_guard guard(seenLock);
    return listedNow.contains(window);
}

QList<DesktopWatch::ActivationRequest> DesktopWatch::activationRequests() const
{
    const std::lock_guard guard(seenLock);
    return unsharedCopy(requests);
}

QList<QByteArray> DesktopWatch::startupMessages() const
{
    const std::lock_guard guard(seenLock);
    return unsharedCopy(messages);
}

uint32_t freshServerTime()
{
    return X11StartToken::forThisStart({}).time;
}
