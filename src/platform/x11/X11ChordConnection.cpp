#include "platform/x11/X11ChordConnection.h"

#include <QStringList>

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <cstdlib>
#include <cstring>
#include <memory>

// libxcb's extension descriptors: only their names are read, and xcb fills
// in the opcodes the server gave.
namespace {

xcb_extension_t xkbExtension = {"XKEYBOARD", 0};
xcb_extension_t xtestExtension = {"XTEST", 0};

constexpr uint16_t useCoreKeyboard = 0x100;
constexpr uint8_t xkbUseExtension = 0;
constexpr uint8_t xkbGetState = 4;
constexpr uint8_t xkbLatchLockState = 5;
constexpr uint8_t xtestFakeInput = 2;
constexpr uint8_t keyPressType = 2;
constexpr uint8_t keyReleaseType = 3;

// The root window's note of a chord whose key is held: key, chord
// modifiers, those it locked, and the user's locks it set aside.
constexpr const char* noteName = "_TALLOWIND_PASTE_CHORD";
constexpr int noteWords = 4;

struct UseExtensionRequest {
    uint8_t major, minor;
    uint16_t length;
    uint16_t wantedMajor, wantedMinor;
};
struct UseExtensionReply {
    uint8_t type, supported;
    uint16_t sequence;
    uint32_t length;
    uint16_t serverMajor, serverMinor;
    uint8_t pad[20];
};
struct GetStateRequest {
    uint8_t major, minor;
    uint16_t length;
    uint16_t deviceSpec, pad;
};
struct GetStateReply {
    uint8_t type, deviceId;
    uint16_t sequence;
    uint32_t length;
    uint8_t mods, baseMods, latchedMods, lockedMods;
    uint8_t group, lockedGroup;
    int16_t baseGroup, latchedGroup;
    uint8_t compatState, grabMods, compatGrabMods, lookupMods, compatLookupMods, pad1;
    uint16_t pointerButtons, pad2;
    uint32_t pad3;
};
struct LatchLockStateRequest {
    uint8_t major, minor;
    uint16_t length;
    uint16_t deviceSpec;
    uint8_t affectModLocks, modLocks;
    uint8_t lockGroup, groupLock;
    uint8_t affectModLatches, modLatches;
    uint8_t pad;
    uint8_t latchGroup;
    int16_t groupLatch;
};
struct FakeInputRequest {
    uint8_t major, minor;
    uint16_t length;
    uint8_t type, detail;
    uint16_t pad0;
    uint32_t time;
    uint32_t root;
    uint32_t pad1, pad2;
    int16_t rootX, rootY;
    uint32_t pad3;
    uint16_t pad4;
    uint8_t pad5, deviceId;
};
static_assert(sizeof(UseExtensionRequest) == 8 && sizeof(UseExtensionReply) == 32);
static_assert(sizeof(GetStateRequest) == 8 && sizeof(GetStateReply) == 32);
static_assert(sizeof(LatchLockStateRequest) == 16 && sizeof(FakeInputRequest) == 36);

template <typename Request>
unsigned int sendRequest(
    xcb_connection_t* connection, xcb_extension_t* extension, uint8_t opcode, Request& request, bool hasReply)
{
    // xcb wants two spare vectors before the request's own.
    iovec parts[3] = {};
    parts[2].iov_base = &request;
    parts[2].iov_len = sizeof(Request);
    const xcb_protocol_request_t protocol = {1, extension, opcode, static_cast<uint8_t>(hasReply ? 0 : 1)};
    return xcb_send_request(connection, hasReply ? XCB_REQUEST_CHECKED : 0, parts + 2, &protocol);
}

template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> waitForReply(xcb_connection_t* connection, unsigned int sequence)
{
    xcb_generic_error_t* error = nullptr;
    void* reply = xcb_wait_for_reply(connection, sequence, &error);
    std::free(error);
    return {static_cast<Reply*>(reply), &std::free};
}

X11KeyboardModifiers modifiersOf(const GetStateReply& reply)
{
    X11KeyboardModifiers state;
    state.effective = reply.mods;
    state.latched = reply.latchedMods;
    state.locked = reply.lockedMods;
    state.latchedGroup = static_cast<uint16_t>(reply.latchedGroup);
    state.group = reply.group;
    return state;
}

} // namespace

X11ChordConnection::X11ChordConnection()
{
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return;
    root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // Asked now, so that no later request of the chord's waits for them and
    // sends what is queued.
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection, &xkbExtension);
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(connection, &xtestExtension);
    if (!xkb || !xkb->present || !xtest || !xtest->present)
        return;
    UseExtensionRequest use = {0, 0, 0, 1, 0};
    const auto used =
        waitForReply<UseExtensionReply>(connection, sendRequest(connection, &xkbExtension, xkbUseExtension, use, true));
    if (!used || !used->supported)
        return;
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(noteName)), noteName);
    if (xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(connection, cookie, nullptr)) {
        noteAtom = atom->atom;
        std::free(atom);
    }
    ready = noteAtom != 0;
}

X11ChordConnection::~X11ChordConnection()
{
    xcb_disconnect(connection);
}

bool X11ChordConnection::usable() const
{
    return ready && !xcb_connection_has_error(connection);
}

std::optional<X11KeyboardModifiers> X11ChordConnection::modifiers()
{
    if (!usable())
        return std::nullopt;
    return stateRead(askState());
}

std::optional<X11KeyboardModifiers> X11ChordConnection::tryOut(const X11ChordState& state)
{
    if (!usable())
        return std::nullopt;
    latchLock(state.putInForce());
    const unsigned int read = askState();
    latchLock(state.takeBack());
    xcb_flush(connection);
    return stateRead(read);
}

unsigned int X11ChordConnection::askState()
{
    GetStateRequest request = {0, 0, 0, useCoreKeyboard, 0};
    return sendRequest(connection, &xkbExtension, xkbGetState, request, true);
}

std::optional<X11KeyboardModifiers> X11ChordConnection::stateRead(unsigned int sequence)
{
    const auto reply = waitForReply<GetStateReply>(connection, sequence);
    if (!reply)
        return std::nullopt;
    return modifiersOf(*reply);
}

bool X11ChordConnection::send(const X11ChordState& state, unsigned int key, std::chrono::milliseconds hold)
{
    if (!usable())
        return false;
    const bool held = hold.count() > 0;
    if (held) {
        const uint32_t note[noteWords] = {key, state.chord, state.lockedByChord, state.locksAside};
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, noteAtom, XCB_ATOM_CARDINAL, 32, noteWords, note);
    }
    latchLock(state.putInForce());
    fakeKey(true, key, 0);
    // XTest's delay has the server wait before the release, and before the
    // requests after it: the hold costs no write of ours.
    fakeKey(false, key, static_cast<uint32_t>(hold.count()));
    latchLock(state.takeBack());
    if (held)
        xcb_delete_property(connection, root, noteAtom);
    xcb_flush(connection);
    return waitUntilDone();
}

QString X11ChordConnection::repairCutShortChord()
{
    if (!usable())
        return {};
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 1, root, noteAtom, XCB_ATOM_CARDINAL, 0, noteWords);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != noteWords * 4)
        return {};
    uint32_t note[noteWords];
    std::memcpy(note, xcb_get_property_value(reply.get()), sizeof note);
    const unsigned int key = note[0];
    X11ChordState state;
    state.chord = note[1];
    state.lockedByChord = note[2];
    state.locksAside = note[3];
    QStringList undone;
    if (key >= 8 && key <= 255 && keyIsDown(key)) {
        fakeKey(false, key, 0);
        undone << QStringLiteral("released its key (code %1)").arg(key);
    }
    // Latches are not put back: the user's were set aside long ago.
    X11LatchLock change = state.takeBack();
    change.affectLatches = state.chord;
    change.latches = 0;
    change.setGroupLatch = false;
    latchLock(change);
    undone << QStringLiteral("took back its modifiers (mask 0x%1)").arg(state.chord, 0, 16);
    if (state.locksAside)
        undone << QStringLiteral("locked again what the user had locked (mask 0x%1)").arg(state.locksAside, 0, 16);
    xcb_flush(connection);
    if (!waitUntilDone())
        return {};
    return undone.join(QStringLiteral(", "));
}

void X11ChordConnection::latchLock(const X11LatchLock& change)
{
    LatchLockStateRequest request = {};
    request.deviceSpec = useCoreKeyboard;
    request.affectModLocks = static_cast<uint8_t>(change.affectLocks);
    request.modLocks = static_cast<uint8_t>(change.locks);
    request.affectModLatches = static_cast<uint8_t>(change.affectLatches);
    request.modLatches = static_cast<uint8_t>(change.latches);
    request.latchGroup = change.setGroupLatch ? 1 : 0;
    request.groupLatch = static_cast<int16_t>(change.groupLatch);
    sendRequest(connection, &xkbExtension, xkbLatchLockState, request, false);
}

void X11ChordConnection::fakeKey(bool down, unsigned int key, uint32_t delayMs)
{
    FakeInputRequest request = {};
    request.type = down ? keyPressType : keyReleaseType;
    request.detail = static_cast<uint8_t>(key);
    request.time = delayMs;
    sendRequest(connection, &xtestExtension, xtestFakeInput, request, false);
}

bool X11ChordConnection::keyIsDown(unsigned int key)
{
    std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> keys(
        xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr), &std::free);
    return keys && (keys->keys[key / 8] & (1u << (key % 8))) != 0;
}

// A round trip: its answer comes once the server has done what came before.
bool X11ChordConnection::waitUntilDone()
{
    std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> focus(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr), &std::free);
    // Nothing here asks for events; an error of a request without a reply
    // lands in the queue, which nothing else would empty.
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
        std::free(event);
    return focus != nullptr;
}
