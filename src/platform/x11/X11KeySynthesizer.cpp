#include "platform/x11/X11KeySynthesizer.h"

#include "base/Dispatch.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <vector>

namespace {

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
            if (std::find(held.begin(), held.end(), code) == held.end())
                held.push_back(code);
        }
    }
    XFreeModifiermap(map);
    return held;
}

// The key that types `keysym` in the layout active now, read from the
// server's current map (the layout may have changed since the last chord).
// 0 when the active layout has no such key.
KeyCode keyInActiveGroup(Display* display, KeySym keysym)
{
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        return XKeysymToKeycode(display, keysym);
    XkbDescPtr xkb = XkbGetMap(display, XkbKeySymsMask | XkbKeyTypesMask, XkbUseCoreKbd);
    if (!xkb)
        return XKeysymToKeycode(display, keysym);
    KeyCode found = 0;
    for (int code = xkb->min_key_code; code <= xkb->max_key_code && found == 0; ++code) {
        const int groups = XkbKeyNumGroups(xkb, code);
        if (groups == 0)
            continue;
        // Keys with fewer groups wrap the active group into their range.
        const int group = state.group % groups;
        if (XkbKeySymEntry(xkb, code, 0, group) == keysym)
            found = static_cast<KeyCode>(code);
    }
    XkbFreeKeyboard(xkb, 0, True);
    return found;
}

// A keycode no key of the map produces, given `keysym` for good: a layout
// without that letter (Cyrillic, Greek, ...) still gets the chord right.
KeyCode spareKeyFor(Display* display, KeySym keysym)
{
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int perCode = 0;
    KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
    if (!map)
        return 0;
    KeyCode spare = 0;
    for (int code = maxCode; code >= minCode && spare == 0; --code) {
        const KeySym* syms = map + (code - minCode) * perCode;
        if (std::all_of(syms, syms + perCode, [](KeySym sym) { return sym == NoSymbol; }))
            spare = static_cast<KeyCode>(code);
    }
    XFree(map);
    if (spare == 0)
        return 0;
    KeySym mapped[] = {keysym, keysym};
    XChangeKeyboardMapping(display, spare, 2, mapped, 1);
    XSync(display, False);
    return spare;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

X11KeySynthesizer::X11KeySynthesizer() = default;

X11KeySynthesizer::~X11KeySynthesizer()
{
    if (display)
        XCloseDisplay(display);
}

bool X11KeySynthesizer::isTerminalClass(const std::string& wmClassPart)
{
    static const std::vector<std::string> terminals = {"xterm", "uxterm", "urxvt", "rxvt", "gnome-terminal",
        "gnome-terminal-server", "konsole", "xfce4-terminal", "alacritty", "kitty", "tilix", "terminator", "st",
        "st-256color", "foot", "footclient", "wezterm", "org.wezfurlong.wezterm", "terminology", "lxterminal",
        "mate-terminal", "qterminal", "sakura", "guake", "tilda", "yakuake", "org.gnome.console", "kgx", "ptyxis"};
    const std::string name = lowered(wmClassPart);
    return std::find(terminals.begin(), terminals.end(), name) != terminals.end();
}

bool X11KeySynthesizer::ensureDisplay()
{
    if (display)
        return xtestAvailable;
    display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    xtestAvailable = XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
    return xtestAvailable;
}

// The focus may sit on a child of the application's top-level window (or
// on the window manager's frame around it): the nearest window up the tree
// that names its class decides.
bool X11KeySynthesizer::focusedWindowIsTerminal()
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    for (int depth = 0; focus != 0 && focus != PointerRoot && depth < 16; ++depth) {
        XClassHint hint{};
        if (XGetClassHint(display, focus, &hint)) {
            const bool terminal = (hint.res_name && isTerminalClass(hint.res_name))
                || (hint.res_class && isTerminalClass(hint.res_class));
            if (hint.res_name)
                XFree(hint.res_name);
            if (hint.res_class)
                XFree(hint.res_class);
            return terminal;
        }
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, focus, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        if (parent == root)
            return false;
        focus = parent;
    }
    return false;
}

bool X11KeySynthesizer::sendPasteChord()
{
    std::lock_guard lock(mutex);
    if (!ensureDisplay())
        return false;

    const KeyCode control = XKeysymToKeycode(display, XK_Control_L);
    if (control == 0)
        return false;
    KeyCode v = keyInActiveGroup(display, XK_v);
    if (v == 0)
        v = spareKeyFor(display, XK_v);
    if (v == 0)
        return false;
    const bool terminal = focusedWindowIsTerminal();
    const KeyCode shift = terminal ? XKeysymToKeycode(display, XK_Shift_L) : 0;

    // Usually the shortcut's keys are already up. A modifier still held at
    // the bound is released for the chord and left released: pressing it
    // again from here would leave it stuck once the user lets go.
    const auto deadline = std::chrono::steady_clock::now()
        + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(modifierReleaseWait));
    std::vector<KeyCode> held = heldModifierKeys(display);
    while (!held.empty() && std::chrono::steady_clock::now() < deadline) {
        Dispatch::sleepFor(0.01);
        held = heldModifierKeys(display);
    }
    for (KeyCode code : held)
        XTestFakeKeyEvent(display, code, False, CurrentTime);

    XTestFakeKeyEvent(display, control, True, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XTestFakeKeyEvent(display, v, True, CurrentTime);
    XTestFakeKeyEvent(display, v, False, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XTestFakeKeyEvent(display, control, False, CurrentTime);
    XSync(display, False);
    return true;
}
