#include "platform/x11/X11KeySynthesizer.h"

#include "base/Dispatch.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <vector>

namespace {

// The evdev keycode of the key at the V position, for a layout that has no
// "v" at all.
constexpr KeyCode fallbackVKeycode = 55;

// Keycodes of the modifier keys that are down now and would change the
// chord: Shift, Alt, Super and the like. Control is part of the chord
// anyway; Caps Lock and Num Lock are locks, not held keys.
std::vector<KeyCode> heldModifierKeys(Display* display)
{
    std::vector<KeyCode> held;
    char keys[32] = {};
    XQueryKeymap(display, keys);
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return held;
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    for (int modifier = 0; modifier < 8; ++modifier) {
        if (modifier == LockMapIndex || modifier == ControlMapIndex)
            continue;
        for (int i = 0; i < map->max_keypermod; ++i) {
            const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i];
            if (code == 0 || code == numLock)
                continue;
            if ((keys[code / 8] & (1 << (code % 8))) == 0)
                continue;
            bool known = false;
            for (KeyCode seen : held)
                known = known || seen == code;
            if (!known)
                held.push_back(code);
        }
    }
    XFreeModifiermap(map);
    return held;
}

} // namespace

X11KeySynthesizer::X11KeySynthesizer() = default;

X11KeySynthesizer::~X11KeySynthesizer()
{
    if (display_)
        XCloseDisplay(display_);
}

bool X11KeySynthesizer::ensureDisplay()
{
    if (display_)
        return xtestAvailable;
    display_ = XOpenDisplay(nullptr);
    if (!display_)
        return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    xtestAvailable = XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor);
    return xtestAvailable;
}

bool X11KeySynthesizer::sendPasteChord()
{
    std::lock_guard lock(mutex);
    if (!ensureDisplay())
        return false;

    const KeyCode control = XKeysymToKeycode(display_, XK_Control_L);
    KeyCode v = XKeysymToKeycode(display_, XK_v);
    if (v == 0)
        v = fallbackVKeycode;
    if (control == 0)
        return false;

    // Usually the shortcut's keys are already up; when the user keeps
    // holding them, take them out of the chord and put them back after.
    const auto deadline = std::chrono::steady_clock::now()
        + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(modifierReleaseWait));
    std::vector<KeyCode> held = heldModifierKeys(display_);
    while (!held.empty() && std::chrono::steady_clock::now() < deadline) {
        Dispatch::sleepFor(0.01);
        held = heldModifierKeys(display_);
    }
    for (KeyCode code : held)
        XTestFakeKeyEvent(display_, code, False, CurrentTime);

    XTestFakeKeyEvent(display_, control, True, CurrentTime);
    XTestFakeKeyEvent(display_, v, True, CurrentTime);
    XTestFakeKeyEvent(display_, v, False, CurrentTime);
    XTestFakeKeyEvent(display_, control, False, CurrentTime);

    for (KeyCode code : held)
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XSync(display_, False);
    return true;
}
