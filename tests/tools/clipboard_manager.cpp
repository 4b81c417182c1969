// A clipboard manager as desktops run one (the freedesktop convention): owns
// CLIPBOARD_MANAGER; asked for SAVE_TARGETS, it reads TARGETS and every
// target from the CLIPBOARD's owner (INCR transfers included), takes
// CLIPBOARD and serves what it saved, then answers the requestor. Prints
// "ready <window id>" once it owns CLIPBOARD_MANAGER and "saved <number of
// targets>" after each save.
//
// Managers that fail, by the first argument: "never-answers" takes the
// request and does nothing more (printing "ignored"); "dies-mid-transfer"
// reads the targets, asks for the first of them and ends without reading
// it (printing "dying").
#include "platform/x11/XcbProperties.h"

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

xcb_connection_t* connection = nullptr;
xcb_window_t window = XCB_NONE;

struct Atoms {
    xcb_atom_t clipboard, manager, saveTargets, targets, multiple, timestamp, incr, transfer;
} atoms{};

struct Saved {
    xcb_atom_t type;
    uint8_t format;
    std::vector<uint8_t> bytes;
};
std::map<xcb_atom_t, Saved> saved;
// The targets as the owner listed them, which readers keep as their order.
std::vector<xcb_atom_t> savedOrder;

using Event = std::unique_ptr<xcb_generic_event_t, decltype(&std::free)>;

xcb_atom_t atom(const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return value;
}

// The next event that `wanted` accepts; others are dropped. None after ten
// seconds, when the owner stopped answering.
template <typename Wanted> Event nextEvent(Wanted wanted)
{
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(connection)) {
            Event event(raw, &std::free);
            if (wanted(event.get()))
                return event;
        }
        if (xcb_connection_has_error(connection))
            return Event(nullptr, &std::free);
        pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
        if (poll(&descriptor, 1, 10'000) <= 0)
            return Event(nullptr, &std::free);
    }
}

uint8_t typeOf(const xcb_generic_event_t* event)
{
    return event->response_type & 0x7f;
}

xcb_get_property_reply_t* takeProperty()
{
    return xcb_get_property_reply(connection,
        xcb_get_property(connection, 1, window, atoms.transfer, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1fffffff), nullptr);
}

size_t byteLength(const xcb_get_property_reply_t* reply)
{
    return static_cast<size_t>(xcb_get_property_value_length(reply));
}

// CLIPBOARD converted to `target`; false when the owner refused or stalled.
bool fetch(xcb_atom_t target, Saved& into)
{
    xcb_delete_property(connection, window, atoms.transfer);
    xcb_convert_selection(connection, window, atoms.clipboard, target, atoms.transfer, XCB_CURRENT_TIME);
    xcb_flush(connection);
    const Event notify =
        nextEvent([](const xcb_generic_event_t* event) { return typeOf(event) == XCB_SELECTION_NOTIFY; });
    if (!notify || reinterpret_cast<const xcb_selection_notify_event_t*>(notify.get())->property == XCB_ATOM_NONE)
        return false;
    xcb_get_property_reply_t* reply = takeProperty();
    if (!reply)
        return false;
    into.type = reply->type;
    into.format = reply->format;
    const bool incremental = reply->type == atoms.incr;
    if (!incremental) {
        const auto* data = static_cast<const uint8_t*>(xcb_get_property_value(reply));
        into.bytes.assign(data, data + byteLength(reply));
    }
    std::free(reply);
    xcb_flush(connection);
    // Each chunk arrives as a new value of the property; an empty one ends it.
    while (incremental) {
        const Event chunk = nextEvent([](const xcb_generic_event_t* event) {
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            return typeOf(event) == XCB_PROPERTY_NOTIFY && change->atom == atoms.transfer
                && change->state == XCB_PROPERTY_NEW_VALUE;
        });
        if (!chunk || !(reply = takeProperty()))
            return false;
        xcb_flush(connection);
        into.type = reply->type;
        into.format = reply->format;
        const auto* data = static_cast<const uint8_t*>(xcb_get_property_value(reply));
        const size_t length = byteLength(reply);
        into.bytes.insert(into.bytes.end(), data, data + length);
        std::free(reply);
        if (length == 0)
            break;
    }
    return true;
}

bool isPseudoTarget(xcb_atom_t target)
{
    return target == atoms.targets || target == atoms.multiple || target == atoms.timestamp
        || target == atoms.saveTargets;
}

// Every target the CLIPBOARD's owner offers, read into `saved`.
void saveClipboard()
{
    saved.clear();
    savedOrder.clear();
    Saved list;
    if (!fetch(atoms.targets, list) || list.format != 32)
        return;
    std::vector<xcb_atom_t> targets(list.bytes.size() / 4);
    std::memcpy(targets.data(), list.bytes.data(), targets.size() * 4);
    for (const xcb_atom_t target : targets) {
        Saved data;
        if (!isPseudoTarget(target) && fetch(target, data)) {
            saved[target] = std::move(data);
            savedOrder.push_back(target);
        }
    }
}

void answer(const xcb_selection_request_event_t& request, xcb_atom_t property)
{
    notifySelectionRequest(connection, request, property);
}

// Serves what was saved; data too large for one request is refused (the
// tests' clipboards are small).
void serveClipboard(const xcb_selection_request_event_t& request)
{
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    if (request.target == atoms.targets) {
        std::vector<xcb_atom_t> offered{atoms.targets};
        offered.insert(offered.end(), savedOrder.begin(), savedOrder.end());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
            static_cast<uint32_t>(offered.size()), offered.data());
        answer(request, property);
        return;
    }
    const auto found = saved.find(request.target);
    const size_t limit = static_cast<size_t>(xcb_get_maximum_request_length(connection)) * 4 - 64;
    if (found == saved.end() || found->second.bytes.size() > limit || found->second.format == 0) {
        answer(request, XCB_ATOM_NONE);
        return;
    }
    const Saved& data = found->second;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, data.type, data.format,
        static_cast<uint32_t>(data.bytes.size() / (data.format / 8)), data.bytes.data());
    answer(request, property);
}

} // namespace

int main(int argc, char** argv)
{
    const bool neverAnswers = argc > 1 && std::strcmp(argv[1], "never-answers") == 0;
    const bool diesMidTransfer = argc > 1 && std::strcmp(argv[1], "dies-mid-transfer") == 0;
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return 1;
    atoms = {atom("CLIPBOARD"), atom("CLIPBOARD_MANAGER"), atom("SAVE_TARGETS"), atom("TARGETS"), atom("MULTIPLE"),
        atom("TIMESTAMP"), atom("INCR"), atom("_CLIPBOARD_MANAGER_TRANSFER")};
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    window = xcb_generate_id(connection);
    const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &eventMask);
    xcb_set_selection_owner(connection, window, atoms.manager, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atoms.manager), nullptr);
    const bool owns = owner && owner->owner == window;
    std::free(owner);
    if (!owns)
        return 1;
    std::printf("ready %u\n", window);
    std::fflush(stdout);

    while (xcb_generic_event_t* raw = xcb_wait_for_event(connection)) {
        const Event event(raw, &std::free);
        if (typeOf(raw) != XCB_SELECTION_REQUEST)
            continue;
        const auto& request = *reinterpret_cast<const xcb_selection_request_event_t*>(raw);
        if (request.selection == atoms.clipboard) {
            serveClipboard(request);
        } else if (request.selection == atoms.manager && request.target == atoms.saveTargets && neverAnswers) {
            std::printf("ignored\n");
            std::fflush(stdout);
        } else if (request.selection == atoms.manager && request.target == atoms.saveTargets && diesMidTransfer) {
            Saved list;
            if (fetch(atoms.targets, list) && list.format == 32 && list.bytes.size() >= 4) {
                xcb_atom_t first = XCB_ATOM_NONE;
                std::memcpy(&first, list.bytes.data(), 4);
                xcb_convert_selection(connection, window, atoms.clipboard, first, atoms.transfer, XCB_CURRENT_TIME);
                xcb_flush(connection);
            }
            std::printf("dying\n");
            std::fflush(stdout);
            return 0;
        } else if (request.selection == atoms.manager && request.target == atoms.saveTargets) {
            saveClipboard();
            xcb_set_selection_owner(connection, window, atoms.clipboard, XCB_CURRENT_TIME);
            answer(request, request.property);
            std::printf("saved %zu\n", saved.size());
            std::fflush(stdout);
        } else {
            answer(request, XCB_ATOM_NONE);
        }
    }
    return 0;
}
