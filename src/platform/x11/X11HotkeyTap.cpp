#include "platform/x11/X11HotkeyTap.h"

#include "base/Dispatch.h"
#include "base/Log.h"
#include "platform/x11/X11DisplayLoss.h"
#include "platform/x11/X11KeyCodes.h"
#include "platform/x11/X11KeyboardMap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace {

// Xlib reports protocol errors through one process-wide handler. While a grab
// is checked, errors of our own connection are recorded here; any other
// connection's errors go to the handler that was installed before.
std::mutex errorSectionMutex;
std::atomic<Display*> checkedDisplay{nullptr};
std::atomic<bool> grabRefused{false};
XErrorHandler previousErrorHandler = nullptr;

int recordGrabError(Display* display, XErrorEvent* error)
{
    if (display == checkedDisplay.load()) {
        grabRefused = true;
        return 0;
    }
    return previousErrorHandler ? previousErrorHandler(display, error) : 0;
}

} // namespace

struct X11HotkeyTap::Delivery {
    Handler handler;
    std::atomic<bool> enabled{true};
};

// Owns the Xlib connection and the thread that reads it. Every Xlib call on
// the connection happens on that thread; the main thread hands it work
// through a queue and a wake-up pipe.
class X11HotkeyTap::Connection {
public:
    using EventSink = std::function<void(const HotkeyEvent&)>;

    ~Connection() { close(); }

    bool open(EventSink sink)
    {
        XInitThreads();
        xDisplay = XOpenDisplay(nullptr);
        if (!xDisplay)
            return false;
        X11DisplayLoss::watch(xDisplay, lost);
        if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            X11DisplayLoss::forget(xDisplay);
            XCloseDisplay(xDisplay);
            xDisplay = nullptr;
            return false;
        }
        eventSink = std::move(sink);
        Bool supported = False;
        // Held keys then repeat as presses only, with no release in between,
        // so a held push-to-talk key never looks like it was let go.
        XkbSetDetectableAutoRepeat(xDisplay, True, &supported);
        root = DefaultRootWindow(xDisplay);
        keyboard.emplace(xDisplay);
        thread = std::thread([this] { run(); });
        return true;
    }

    void close()
    {
        if (thread.joinable()) {
            perform([this] {
                ungrabAll();
                stopping = true;
            });
            thread.join();
        }
        if (xDisplay) {
            X11DisplayLoss::forget(xDisplay);
            XCloseDisplay(xDisplay);
            xDisplay = nullptr;
        }
        for (int& fd : wakePipe) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
    }

    // What became of a set of combinations: another client holds one of
    // them, or the keyboard map has no key for one (it cannot fire until a
    // map that has it arrives).
    struct Outcome {
        std::vector<HotkeyGrab> refused;
        bool unmapped = false;
        bool allArmed() const { return refused.empty() && !unmapped; }
    };

    // Replaces the grabbed combinations. A key with no X equivalent (a
    // modifier-only shortcut) cannot be pressed, so it is skipped rather
    // than counted as a failure.
    Outcome grab(const std::vector<HotkeyGrab>& grabs)
    {
        return perform([this, grabs] {
            wanted = grabs;
            return applyGrabs();
        });
    }

    // Takes the combination for a moment: false when it is free or ours.
    bool heldElsewhere(const HotkeyGrab& grab)
    {
        return perform([this, grab] {
            const bool ours =
                std::any_of(heldGrabs.begin(), heldGrabs.end(), [&](const Held& held) { return held.grab == grab; });
            Held probe = heldFor(grab);
            if (ours || probe.keyCode == 0 || X11KeyCodes::keysymForKeyCode(grab.keyCode) == 0)
                return false;
            if (!grabOne(probe))
                return true;
            release(probe);
            heldGrabs.pop_back();
            XSync(xDisplay, False);
            return false;
        });
    }

    void ungrab()
    {
        perform([this] {
            wanted.clear();
            ungrabAll();
        });
    }

    // A grabbed key is down: the X server has turned its passive grab into
    // an active one, and every key event, synthesized ones included, comes
    // to us until it is released.
    bool grabbedKeyHeld() const { return grabbedKeyDown.load(); }

private:
    struct Held {
        HotkeyGrab grab;
        KeyCode keyCode;
        std::vector<unsigned int> masks;
    };

    // What a key that is down went down as. Its repeats and its release are
    // reported as that, whatever the keyboard map says by then: a map loaded
    // while a shortcut is held moves the grab to another key, not the finger.
    struct PressedKey {
        KeyCode keyCode = 0;
        uint16_t code = 0; // the stored encoding
        std::optional<uint32_t> modifier;
        bool grabbed = false;
    };

    // Once the X server is gone the work is skipped and yields its type's
    // default; after the thread has ended it is skipped right here.
    template <typename Work> auto perform(Work work) -> decltype(work())
    {
        using Result = decltype(work());
        auto task = std::make_shared<std::packaged_task<Result()>>([this, work = std::move(work)]() mutable {
            if (!lost)
                return work();
            if constexpr (!std::is_void_v<Result>)
                return Result{};
        });
        std::future<Result> done = task->get_future();
        {
            std::lock_guard lock(mutex);
            if (ended)
                (*task)();
            else
                pending.emplace_back([task] { (*task)(); });
        }
        const char byte = 1;
        [[maybe_unused]] ssize_t written = write(wakePipe[1], &byte, 1);
        return done.get();
    }

    void run()
    {
        const int xFd = ConnectionNumber(xDisplay);
        while (!stopping && !lost) {
            runPending();
            while (!stopping && !lost && XPending(xDisplay) > 0) {
                XEvent event;
                XNextEvent(xDisplay, &event);
                handle(event);
            }
            if (stopping || lost)
                break;
            pollfd fds[2] = {{xFd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
            poll(fds, 2, -1);
            char drain[64];
            while (read(wakePipe[0], drain, sizeof drain) > 0) { }
        }
        if (lost) {
            // No key is down for us any more, and no release will come.
            grabbedKeyDown = false;
            std::lock_guard lock(mutex);
            ended = true;
        }
        runPending();
    }

    void runPending()
    {
        std::deque<std::function<void()>> work;
        {
            std::lock_guard lock(mutex);
            work.swap(pending);
        }
        for (auto& item : work)
            item();
    }

    // Takes what is wanted and not yet held, releases what is no longer
    // wanted; combinations held throughout are never let go in between.
    Outcome applyGrabs()
    {
        for (auto it = heldGrabs.begin(); it != heldGrabs.end();) {
            if (std::find(wanted.begin(), wanted.end(), it->grab) == wanted.end()) {
                release(*it);
                it = heldGrabs.erase(it);
            } else {
                ++it;
            }
        }
        XSync(xDisplay, False);
        return grabMissing();
    }

    Outcome grabMissing()
    {
        Outcome outcome;
        for (const HotkeyGrab& grab : wanted) {
            const bool isHeld =
                std::any_of(heldGrabs.begin(), heldGrabs.end(), [&](const Held& held) { return held.grab == grab; });
            if (isHeld)
                continue;
            Held held = heldFor(grab);
            if (X11KeyCodes::keysymForKeyCode(grab.keyCode) == 0)
                continue; // no key can be pressed for it (a modifier-only shortcut)
            if (held.keyCode == 0) {
                Log::system(QStringLiteral("[X11HotkeyTap] The keyboard map has no key for shortcut key code %1")
                                .arg(grab.keyCode));
                outcome.unmapped = true;
                continue;
            }
            if (!grabOne(std::move(held)))
                outcome.refused.push_back(grab);
        }
        // The grabs are tried again with every change of the set (each
        // recording adds and drops Escape): a refusal is logged once.
        reportedRefusals = outcome.refused;
        return outcome;
    }

    // False when another client holds the combination.
    bool grabOne(Held held)
    {

        std::lock_guard section(errorSectionMutex);
        grabRefused = false;
        checkedDisplay = xDisplay;
        previousErrorHandler = XSetErrorHandler(recordGrabError);
        for (unsigned int mask : held.masks)
            XGrabKey(xDisplay, held.keyCode, mask, root, False, GrabModeAsync, GrabModeAsync);
        XSync(xDisplay, False);
        XSetErrorHandler(previousErrorHandler);
        checkedDisplay = nullptr;

        if (grabRefused) {
            if (std::find(reportedRefusals.begin(), reportedRefusals.end(), held.grab) == reportedRefusals.end())
                Log::system(
                    QStringLiteral("[X11HotkeyTap] The X server refused the grab of key %1 with modifier mask "
                                   "0x%2 (BadAccess): another program holds it")
                        .arg(keyboard->keyName(held.keyCode))
                        .arg(held.masks.front(), 0, 16));
            // Someone else holds (part of) this combination: take none of it.
            release(held);
            XSync(xDisplay, False);
            return false;
        }
        heldGrabs.push_back(std::move(held));
        return true;
    }

    Held heldFor(const HotkeyGrab& grab) const
    {
        const unsigned long keysym = X11KeyCodes::keysymForKeyCode(grab.keyCode);
        const auto keyCode = static_cast<KeyCode>(keysym ? keyboard->keyFor(keysym) : 0);
        const unsigned int base = X11KeyCodes::x11ModifierMask(grab.modifierFlags);
        Held held{grab, keyCode, {base, base | LockMask}};
        if (const unsigned int numLock = keyboard->numLockMask()) {
            held.masks.push_back(base | numLock);
            held.masks.push_back(base | LockMask | numLock);
        }
        return held;
    }

    // After a change of the keyboard map, only the grabs whose key or masks
    // moved are released and taken again: the others are never let go.
    void regrabAfterMappingChange()
    {
        for (auto it = heldGrabs.begin(); it != heldGrabs.end();) {
            const Held now = heldFor(it->grab);
            if (now.keyCode == it->keyCode && now.masks == it->masks) {
                ++it;
                continue;
            }
            release(*it);
            it = heldGrabs.erase(it);
        }
        XSync(xDisplay, False);
        if (!grabMissing().allArmed())
            Log::system(
                QStringLiteral("[X11HotkeyTap] A shortcut could not be taken again after the keyboard changed"));
    }

    void release(const Held& held)
    {
        for (unsigned int mask : held.masks)
            XUngrabKey(xDisplay, held.keyCode, mask, root);
    }

    void ungrabAll()
    {
        for (const Held& held : heldGrabs)
            release(held);
        heldGrabs.clear();
        pressedKeys.clear();
        grabbingKey = 0;
        grabbedKeyDown = false;
        XSync(xDisplay, False);
    }

    void handle(XEvent& event)
    {
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            if (event.xmapping.request == MappingKeyboard || event.xmapping.request == MappingModifier) {
                keyboard.emplace(xDisplay);
                regrabAfterMappingChange();
            }
            return;
        }
        if (event.type != KeyPress && event.type != KeyRelease)
            return;
        const XKeyEvent& key = event.xkey;
        const bool pressed = event.type == KeyPress;
        const auto keyCode = static_cast<KeyCode>(key.keycode);
        // A press with no grab active is a grabbed key starting one, which
        // lasts until that key comes up. Keys still noted from an earlier
        // grab came up elsewhere: their releases were not ours to see.
        if (pressed && !grabbingKey)
            pressedKeys.clear();
        const auto down = std::find_if(
            pressedKeys.begin(), pressedKeys.end(), [&](const PressedKey& held) { return held.keyCode == keyCode; });
        const std::optional<PressedKey> decoded = down != pressedKeys.end() ? *down : decode(keyCode);
        if (pressed && down == pressedKeys.end() && decoded)
            pressedKeys.push_back(*decoded);
        else if (!pressed && down != pressedKeys.end())
            pressedKeys.erase(down);
        const bool endsGrab = !pressed && grabbingKey != 0 && keyCode == grabbingKey;
        if (pressed && !grabbingKey && decoded && decoded->grabbed)
            grabbingKey = keyCode;
        else if (endsGrab)
            grabbingKey = 0;
        grabbedKeyDown = grabbingKey != 0;
        if (!decoded)
            return; // a key no shortcut can name

        // The state bits describe the modifiers just before this event.
        uint32_t flags = X11KeyCodes::modifierFlagsForX11State(key.state);
        HotkeyEvent out;
        if (const auto modifier = decoded->modifier) {
            out.type = HotkeyEvent::Type::flagsChanged;
            if (*modifier == X11KeyCodes::flagCapsLock)
                flags = pressed ? flags ^ *modifier : flags;
            else
                flags = pressed ? flags | *modifier : flags & ~*modifier;
        } else {
            out.type = pressed ? HotkeyEvent::Type::keyDown : HotkeyEvent::Type::keyUp;
        }
        out.keyCode = decoded->code;
        out.modifierFlags = flags;
        out.endsGrab = endsGrab;
        eventSink(out);
    }

    std::optional<PressedKey> decode(KeyCode keyCode) const
    {
        const auto grabbed =
            std::find_if(heldGrabs.begin(), heldGrabs.end(), [&](const Held& held) { return held.keyCode == keyCode; });
        const unsigned long keysym = keyboard->keysymAt(keyCode);
        // A grabbed key is the shortcut's key whatever the active layout
        // makes of it (with Russian active, the "w" key types a Cyrillic
        // letter but is still the key that was grabbed).
        std::optional<uint16_t> code;
        if (grabbed != heldGrabs.end())
            code = grabbed->grab.keyCode;
        if (!code)
            code = X11KeyCodes::keyCodeForKeysym(keysym);
        if (!code)
            code = X11KeyCodes::keyCodeForKeysym(keyboard->keysymAt(keyCode, 1));
        if (!code)
            return std::nullopt;
        return PressedKey{keyCode, *code, X11KeyCodes::modifierFlagForKeysym(keysym), grabbed != heldGrabs.end()};
    }

    Display* xDisplay = nullptr;
    Window root = 0;
    // Read afresh with every change of the keyboard map.
    std::optional<X11KeyboardMap> keyboard;
    int wakePipe[2] = {-1, -1};
    std::thread thread;
    std::atomic<bool> stopping{false};
    // The X server went away: the display is dead and the thread ends.
    std::atomic<bool> lost{false};
    std::mutex mutex;
    bool ended = false; // guarded by mutex
    std::deque<std::function<void()>> pending;
    std::vector<HotkeyGrab> wanted;
    std::vector<Held> heldGrabs;
    std::vector<HotkeyGrab> reportedRefusals;
    std::vector<PressedKey> pressedKeys;
    KeyCode grabbingKey = 0;
    std::atomic<bool> grabbedKeyDown{false};
    EventSink eventSink;
};

void X11HotkeyTap::prepareProcess()
{
    XInitThreads();
}

X11HotkeyTap::X11HotkeyTap() = default;

X11HotkeyTap::~X11HotkeyTap()
{
    invalidate();
}

bool X11HotkeyTap::create(const std::vector<HotkeyGrab>& grabs, Handler handler)
{
    if (x11Connection)
        return true;
    auto delivery = std::make_shared<Delivery>();
    delivery->handler = std::move(handler);
    std::weak_ptr<Delivery> weakDelivery = delivery;

    auto connection = std::make_unique<Connection>();
    const bool opened = connection->open([weakDelivery](const HotkeyEvent& event) {
        Dispatch::main().async([weakDelivery, event] {
            auto target = weakDelivery.lock();
            if (target && target->enabled && target->handler)
                target->handler(event); // already taken from the stream: the answer cannot matter
        });
    });
    if (!opened)
        return false;
    refused = connection->grab(grabs).refused;
    x11Connection = std::move(connection);
    eventDelivery = std::move(delivery);
    requestedGrabs = grabs;
    return true;
}

bool X11HotkeyTap::exists() const
{
    return x11Connection != nullptr;
}

bool X11HotkeyTap::setGrabs(const std::vector<HotkeyGrab>& grabs)
{
    if (grabs == requestedGrabs && refused.empty())
        return x11Connection != nullptr;
    requestedGrabs = grabs;
    if (!x11Connection || !isEnabled())
        return x11Connection != nullptr;
    const Connection::Outcome outcome = x11Connection->grab(grabs);
    refused = outcome.refused;
    return outcome.allArmed();
}

std::vector<HotkeyGrab> X11HotkeyTap::refusedGrabs() const
{
    return refused;
}

bool X11HotkeyTap::isHeldByAnotherProgram(const HotkeyGrab& grab)
{
    return x11Connection && x11Connection->heldElsewhere(grab);
}

void X11HotkeyTap::setEnabled(bool enabled)
{
    if (!x11Connection || eventDelivery->enabled == enabled)
        return;
    eventDelivery->enabled = enabled;
    if (enabled)
        refused = x11Connection->grab(requestedGrabs).refused;
    else
        x11Connection->ungrab();
}

bool X11HotkeyTap::isShortcutKeyHeld() const
{
    return x11Connection && x11Connection->grabbedKeyHeld();
}

bool X11HotkeyTap::isEnabled() const
{
    return eventDelivery && eventDelivery->enabled;
}

void X11HotkeyTap::invalidate()
{
    x11Connection.reset();
    eventDelivery.reset();
    requestedGrabs.clear();
    refused.clear();
}
