#include "platform/x11/X11KeySynthesizer.h"

#include "base/Log.h"
#include "platform/x11/X11DisplayLoss.h"
#include "platform/x11/X11KeyCodes.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace {

// The keys the server counts as down, one bit per keycode.
struct KeyboardState {
    char bits[32] = {};
    bool isDown(KeyCode code) const { return (bits[code / 8] & (1 << (code % 8))) != 0; }
};

KeyboardState keyboardState(Display* display)
{
    KeyboardState state;
    XQueryKeymap(display, state.bits);
    return state;
}

// The X modifiers a chord holds.
unsigned int chordModifierMask(PasteChord chord)
{
    switch (chord) {
    case PasteChord::controlV:
        return ControlMask;
    case PasteChord::controlShiftV:
        return ControlMask | ShiftMask;
    case PasteChord::shiftInsert:
        return ShiftMask;
    }
    return 0;
}

// The keys that give each modifier, by its index in the modifier map.
struct ModifierKeys {
    std::vector<KeyCode> byModifier[8];

    bool gives(KeyCode code) const
    {
        return std::any_of(std::begin(byModifier), std::end(byModifier), [code](const std::vector<KeyCode>& codes) {
            return std::find(codes.begin(), codes.end(), code) != codes.end();
        });
    }
};

ModifierKeys modifierKeys(Display* display)
{
    ModifierKeys keys;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return keys;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i)
            if (const KeyCode code = map->modifiermap[modifier * map->max_keypermod + i])
                keys.byModifier[modifier].push_back(code);
    }
    XFreeModifiermap(map);
    return keys;
}

// The keycodes of the shortcuts' own keys, in the keyboard map as it is now.
std::vector<KeyCode> shortcutMainKeys(Display* display, const std::vector<HotkeyGrab>& combinations)
{
    std::vector<KeyCode> codes;
    for (const HotkeyGrab& combination : combinations) {
        if (const unsigned long keysym = X11KeyCodes::keysymForKeyCode(combination.keyCode))
            if (const KeyCode code = XKeysymToKeycode(display, keysym))
                codes.push_back(code);
    }
    return codes;
}

// The shortcuts' own keys and every key that gives one of their modifiers.
// Caps Lock is a lock, not a key that is held.
std::vector<KeyCode> shortcutKeyCodes(
    Display* display, const ModifierKeys& modifiers, const std::vector<HotkeyGrab>& combinations)
{
    std::vector<KeyCode> codes = shortcutMainKeys(display, combinations);
    unsigned int masks = 0;
    for (const HotkeyGrab& combination : combinations)
        masks |= X11KeyCodes::x11ModifierMask(combination.modifierFlags);
    masks &= ~static_cast<unsigned int>(LockMask);
    for (int modifier = 0; modifier < 8; ++modifier) {
        if ((masks & (1u << modifier)) != 0)
            codes.insert(codes.end(), modifiers.byModifier[modifier].begin(), modifiers.byModifier[modifier].end());
    }
    return codes;
}

// The keys that hold up `chord` while down: the keys of our shortcuts and
// every modifier key but those the chord holds anyway. Caps Lock and Num
// Lock are locks, not held keys.
std::vector<KeyCode> holdUpKeyCodes(
    Display* display, const ModifierKeys& modifiers, PasteChord chord, const std::vector<HotkeyGrab>& combinations)
{
    std::vector<KeyCode> codes = shortcutMainKeys(display, combinations);
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    const unsigned int served = chordModifierMask(chord);
    for (int modifier = 0; modifier < 8; ++modifier) {
        if (modifier == LockMapIndex || (served & (1u << modifier)) != 0)
            continue;
        for (KeyCode code : modifiers.byModifier[modifier])
            if (code != numLock && std::find(codes.begin(), codes.end(), code) == codes.end())
                codes.push_back(code);
    }
    return codes;
}

QString keyName(Display* display, KeyCode code)
{
    const char* name = XKeysymToString(XkbKeycodeToKeysym(display, code, 0, 0));
    return name ? QString::fromLatin1(name) : QStringLiteral("key code %1").arg(code);
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

// The WM_CLASS of the window with the keyboard focus: instance and class
// name, both empty when no window names one. The focus may sit on a child of
// the application's top-level window (or on the window manager's frame
// around it): the nearest window up the tree that names its class decides.
std::pair<std::string, std::string> focusedWindowClass(Display* display)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    for (int depth = 0; focus != 0 && focus != PointerRoot && depth < 16; ++depth) {
        XClassHint hint{};
        if (XGetClassHint(display, focus, &hint)) {
            std::pair<std::string, std::string> names(
                hint.res_name ? hint.res_name : "", hint.res_class ? hint.res_class : "");
            if (hint.res_name)
                XFree(hint.res_name);
            if (hint.res_class)
                XFree(hint.res_class);
            return names;
        }
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, focus, &root, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        if (parent == root)
            break;
        focus = parent;
    }
    return {};
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
    if (display) {
        X11DisplayLoss::forget(display);
        XCloseDisplay(display);
    }
}

std::optional<PasteChord> X11KeySynthesizer::terminalChord(
    const std::string& instanceName, const std::string& className)
{
    // Each terminal's default paste binding. xterm and urxvt bind nothing to
    // CLIPBOARD out of the box; both paste PRIMARY on Shift+Insert.
    static const std::map<std::string, PasteChord> terminals = {
        {"xterm", PasteChord::shiftInsert},
        {"uxterm", PasteChord::shiftInsert},
        {"urxvt", PasteChord::shiftInsert},
        {"rxvt", PasteChord::shiftInsert},
        {"rxvt-unicode", PasteChord::shiftInsert},
        {"gnome-terminal", PasteChord::controlShiftV},
        {"gnome-terminal-server", PasteChord::controlShiftV},
        {"konsole", PasteChord::controlShiftV},
        {"xfce4-terminal", PasteChord::controlShiftV},
        {"alacritty", PasteChord::controlShiftV},
        {"kitty", PasteChord::controlShiftV},
        {"tilix", PasteChord::controlShiftV},
        {"terminator", PasteChord::controlShiftV},
        {"st", PasteChord::controlShiftV},
        {"st-256color", PasteChord::controlShiftV},
        {"foot", PasteChord::controlShiftV},
        {"footclient", PasteChord::controlShiftV},
        {"wezterm", PasteChord::controlShiftV},
        {"org.wezfurlong.wezterm", PasteChord::controlShiftV},
        {"terminology", PasteChord::controlShiftV},
        {"lxterminal", PasteChord::controlShiftV},
        {"mate-terminal", PasteChord::controlShiftV},
        {"qterminal", PasteChord::controlShiftV},
        {"sakura", PasteChord::controlShiftV},
        {"guake", PasteChord::controlShiftV},
        {"tilda", PasteChord::controlShiftV},
        {"yakuake", PasteChord::controlShiftV},
        {"org.gnome.console", PasteChord::controlShiftV},
        {"kgx", PasteChord::controlShiftV},
        {"ptyxis", PasteChord::controlShiftV},
    };
    for (const std::string& name : {instanceName, className}) {
        const auto found = terminals.find(lowered(name));
        if (found != terminals.end())
            return found->second;
    }
    return std::nullopt;
}

bool X11KeySynthesizer::ensureDisplay()
{
    if (display)
        return xtestAvailable && !lost;
    display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    X11DisplayLoss::watch(display, lost);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    xtestAvailable = XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
    return xtestAvailable;
}

PasteChord X11KeySynthesizer::chordForFocusedWindow()
{
    std::lock_guard lock(mutex);
    if (!ensureDisplay())
        return PasteChord::controlV;
    const auto [instanceName, className] = focusedWindowClass(display);
    return chordForWindowClass(instanceName, className);
}

PasteChord X11KeySynthesizer::chordForWindowClass(const std::string& instanceName, const std::string& className)
{
    if (const auto chord = terminalChord(instanceName, className))
        return *chord;
    // A terminal missing from the list would get a control character
    // instead of the text; naming the class lets the user report it.
    if ((!instanceName.empty() || !className.empty()) && loggedClasses.insert(instanceName + '\n' + className).second)
        Log::system(
            QStringLiteral("[X11KeySynthesizer] Pasting with Ctrl+V into window class \"%1\" (instance \"%2\"), "
                           "which is not a known terminal")
                .arg(QString::fromStdString(className), QString::fromStdString(instanceName)));
    return PasteChord::controlV;
}

ChordHoldUp X11KeySynthesizer::holdUp(PasteChord chord, const ShortcutKeys& shortcuts)
{
    ChordHoldUp holdUp;
    holdUp.grabHeld = shortcuts.tapHolding && shortcuts.tapHolding();
    std::lock_guard lock(mutex);
    if (!ensureDisplay())
        return holdUp;
    const KeyboardState keys = keyboardState(display);
    const ModifierKeys modifiers = modifierKeys(display);
    for (KeyCode code : holdUpKeyCodes(display, modifiers, chord, shortcuts.combinations))
        if (keys.isDown(code))
            holdUp.keys.push_back({code, keyName(display, code), modifiers.gives(code)});
    return holdUp;
}

ChordOutcome X11KeySynthesizer::sendPasteChord(
    PasteChord chord, const ShortcutKeys& shortcuts, const std::vector<DownKey>& stuck)
{
    std::lock_guard lock(mutex);
    if (!ensureDisplay())
        return ChordOutcome::notSent;

    KeyCode key = 0;
    if (chord == PasteChord::shiftInsert) {
        key = XKeysymToKeycode(display, XK_Insert);
    } else {
        key = keyInActiveGroup(display, XK_v);
        if (key == 0)
            key = spareKeyFor(display, XK_v);
    }
    if (key == 0)
        return ChordOutcome::notSent;

    const ModifierKeys modifiers = modifierKeys(display);
    const KeyboardState before = keyboardState(display);
    if (shortcuts.tapHolding && shortcuts.tapHolding())
        return ChordOutcome::keyDown;
    const auto isStuck = [&stuck](KeyCode code) {
        return std::find(stuck.begin(), stuck.end(), DownKey{code, {}}) != stuck.end();
    };
    std::vector<KeyCode> release;
    for (KeyCode code : holdUpKeyCodes(display, modifiers, chord, shortcuts.combinations)) {
        if (!before.isDown(code))
            continue;
        if (!isStuck(code))
            return ChordOutcome::keyDown;
        // A stuck key of a shortcut that gives no modifier changes nothing
        // in the chord: it stays as it is.
        if (modifiers.gives(code))
            release.push_back(code);
    }

    // Each modifier of the chord goes down on a key of its own that is not
    // down: the user's keys are neither pressed nor released (from here a
    // release would end their hold), and the user letting go of one as the
    // chord goes out takes nothing from it. Only where every key of the
    // modifier is down does a held one serve. A map that gives the modifier
    // no key at all would turn the chord into a plain letter.
    std::vector<KeyCode> press;
    const unsigned int chordMask = chordModifierMask(chord);
    for (const int modifier : {ControlMapIndex, ShiftMapIndex}) {
        if ((chordMask & (1u << modifier)) == 0)
            continue;
        const std::vector<KeyCode>& keys = modifiers.byModifier[modifier];
        if (keys.empty())
            return ChordOutcome::notSent;
        const auto free =
            std::find_if(keys.begin(), keys.end(), [&before](KeyCode code) { return !before.isDown(code); });
        if (free != keys.end())
            press.push_back(*free);
    }

    if (beforeChord)
        beforeChord();
    for (KeyCode code : release)
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    for (KeyCode code : press)
        XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    for (auto code = press.rbegin(); code != press.rend(); ++code)
        XTestFakeKeyEvent(display, *code, False, CurrentTime);
    // The server handles the chord before this query: a key of ours down now
    // and not before went down as the chord went out.
    const KeyboardState after = keyboardState(display);
    const std::vector<KeyCode> ours = shortcutKeyCodes(display, modifiers, shortcuts.combinations);
    const bool wentDown =
        std::any_of(ours.begin(), ours.end(), [&](KeyCode code) { return after.isDown(code) && !before.isDown(code); });
    return wentDown || (shortcuts.tapHolding && shortcuts.tapHolding()) ? ChordOutcome::sentAsAShortcutWentDown
                                                                        : ChordOutcome::sent;
}

void X11KeySynthesizer::setBeforeChord(std::function<void()> hook)
{
    std::lock_guard lock(mutex);
    beforeChord = std::move(hook);
}
