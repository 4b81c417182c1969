#include "platform/x11/X11KeySynthesizer.h"

#include "base/Log.h"
#include "platform/x11/X11AccessX.h"
#include "platform/x11/X11ChordConnection.h"
#include "platform/x11/X11ChordState.h"
#include "platform/x11/X11DisplayLoss.h"
#include "platform/x11/X11KeyCodes.h"
#include "platform/x11/X11KeyboardMap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The keys the server counts as down, one bit per keycode.
struct KeyboardState {
    char bits[32] = {};
    bool isDown(unsigned int code) const { return (bits[code / 8] & (1 << (code % 8))) != 0; }
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

// The keycodes of the shortcuts' own keys, in the keyboard map as it is now.
std::vector<unsigned int> shortcutMainKeys(const X11KeyboardMap& map, const std::vector<HotkeyGrab>& combinations)
{
    std::vector<unsigned int> codes;
    for (const HotkeyGrab& combination : combinations) {
        if (const unsigned long keysym = X11KeyCodes::keysymForKeyCode(combination.keyCode))
            if (const unsigned int code = map.keyFor(keysym))
                codes.push_back(code);
    }
    return codes;
}

// The shortcuts' own keys and every key that gives one of their modifiers.
// Caps Lock is a lock, not a key that is held.
std::vector<unsigned int> shortcutKeyCodes(const X11KeyboardMap& map, const std::vector<HotkeyGrab>& combinations)
{
    std::vector<unsigned int> codes = shortcutMainKeys(map, combinations);
    unsigned int masks = 0;
    for (const HotkeyGrab& combination : combinations)
        masks |= X11KeyCodes::x11ModifierMask(combination.modifierFlags);
    masks &= ~static_cast<unsigned int>(LockMask);
    for (int modifier = 0; modifier < 8; ++modifier) {
        if ((masks & (1u << modifier)) != 0)
            codes.insert(codes.end(), map.keysOf(modifier).begin(), map.keysOf(modifier).end());
    }
    return codes;
}

// The keys that hold up `chord` while down: the keys of our shortcuts and
// every modifier key but those the chord holds anyway. Caps Lock and Num
// Lock are locks, not held keys.
std::vector<unsigned int> holdUpKeyCodes(
    const X11KeyboardMap& map, PasteChord chord, const std::vector<HotkeyGrab>& combinations)
{
    std::vector<unsigned int> codes = shortcutMainKeys(map, combinations);
    const unsigned int numLock = map.keyFor(XK_Num_Lock);
    const unsigned int served = chordModifierMask(chord);
    for (int modifier = 0; modifier < 8; ++modifier) {
        if (modifier == LockMapIndex || (served & (1u << modifier)) != 0)
            continue;
        for (unsigned int code : map.keysOf(modifier))
            if (code != numLock && std::find(codes.begin(), codes.end(), code) == codes.end())
                codes.push_back(code);
    }
    return codes;
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
        return xtestAvailable && !lost && chordConnection->usable();
    display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    X11DisplayLoss::watch(display, lost);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    xtestAvailable = XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor);
    chordConnection = std::make_unique<X11ChordConnection>();
    slowKeys.start(display);
    return xtestAvailable && chordConnection->usable();
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
    const X11KeyboardMap map(display);
    for (unsigned int code : holdUpKeyCodes(map, chord, shortcuts.combinations))
        if (keys.isDown(code))
            holdUp.keys.push_back({code, map.keyName(code), map.givesModifier(code)});
    return holdUp;
}

ChordOutcome X11KeySynthesizer::sendPasteChord(
    PasteChord chord, const ShortcutKeys& shortcuts, const std::vector<DownKey>& stuck)
{
    std::lock_guard lock(mutex);
    if (!ensureDisplay())
        return ChordOutcome::notSent;

    const X11KeyboardMap map(display);
    unsigned int key = 0;
    if (chord == PasteChord::shiftInsert) {
        key = map.keyFor(XK_Insert);
    } else {
        key = map.keyInActiveGroup(XK_v);
        // In a layout without a "v" (Cyrillic, Greek, ...) the user's Ctrl+V
        // is the key that types "v" in another layout: applications find the
        // shortcut through that key's other groups. A spare key mapped to "v"
        // does not do for all of them (VTE takes it for a literal ^V), so it
        // serves only a map with no "v" at all.
        if (key == 0)
            key = map.keyFor(XK_v);
        if (key == 0)
            key = map.spareKeyMappedTo(XK_v);
    }
    if (key == 0)
        return ChordOutcome::notSent;

    const X11AccessX accessX = X11AccessX::read(display);
    spaceFromLastChord(key, accessX.sameKeySpacing());
    waitForSlowKeys(accessX.slowKeysDelay);

    const KeyboardState before = keyboardState(display);
    if (shortcuts.tapHolding && shortcuts.tapHolding())
        return ChordOutcome::keyDown;
    const auto isStuck = [&stuck](unsigned int code) {
        return std::find(stuck.begin(), stuck.end(), DownKey{code, {}}) != stuck.end();
    };
    std::vector<unsigned int> release;
    for (unsigned int code : holdUpKeyCodes(map, chord, shortcuts.combinations)) {
        if (!before.isDown(code))
            continue;
        if (!isStuck(code))
            return ChordOutcome::keyDown;
        // A stuck key of a shortcut that gives no modifier changes nothing
        // in the chord: it stays as it is.
        if (map.givesModifier(code))
            release.push_back(code);
    }

    for (unsigned int code : release)
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    // The chord goes out on the other connection: these come first.
    XSync(display, False);

    const std::optional<X11KeyboardModifiers> now = chordConnection->modifiers();
    if (!now) {
        Log::system(QStringLiteral("[X11KeySynthesizer] The paste chord was not sent: the keyboard's state could not "
                                   "be read (no XKB extension)"));
        return ChordOutcome::notSent;
    }
    const X11ChordState state = X11ChordState::plan(chordModifierMask(chord), *now, map.numLockMask());
    const std::optional<X11KeyboardModifiers> tried = chordConnection->tryOut(state);
    const char* refusal =
        tried ? state.refusal(*now, *tried) : "the keyboard's state could not be read with its modifiers in force";
    if (refusal) {
        Log::system(
            QStringLiteral("[X11KeySynthesizer] The paste chord was not sent: %1").arg(QString::fromLatin1(refusal)));
        return ChordOutcome::notSent;
    }
    if (beforeChord)
        beforeChord();
    if (!chordConnection->send(state, key, accessX.keyHold()))
        return ChordOutcome::notSent;
    lastChordKey = key;
    lastChordKeyUp = std::chrono::steady_clock::now();
    // The server handles the chord before this query: a key of ours down now
    // and not before went down as the chord went out.
    const KeyboardState after = keyboardState(display);
    const std::vector<unsigned int> ours = shortcutKeyCodes(map, shortcuts.combinations);
    const bool wentDown = std::any_of(
        ours.begin(), ours.end(), [&](unsigned int code) { return after.isDown(code) && !before.isDown(code); });
    return wentDown || (shortcuts.tapHolding && shortcuts.tapHolding()) ? ChordOutcome::sentAsAShortcutWentDown
                                                                        : ChordOutcome::sent;
}

void X11KeySynthesizer::spaceFromLastChord(unsigned int key, std::chrono::milliseconds spacing)
{
    if (key != lastChordKey || spacing.count() == 0)
        return;
    const auto mayGo = lastChordKeyUp + spacing;
    if (std::chrono::steady_clock::now() < mayGo)
        std::this_thread::sleep_until(mayGo);
}

void X11KeySynthesizer::waitForSlowKeys(std::chrono::milliseconds delay)
{
    if (delay.count() == 0) {
        slowKeys.forgetPending();
        return;
    }
    const auto bound = std::chrono::steady_clock::now() + 2 * delay;
    while (slowKeys.anyPending(display)) {
        if (std::chrono::steady_clock::now() >= bound) {
            slowKeys.forgetPending();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void X11KeySynthesizer::repairCutShortChord()
{
    std::lock_guard lock(mutex);
    if (!ensureDisplay())
        return;
    const QString undone = chordConnection->repairCutShortChord();
    if (!undone.isEmpty())
        Log::system(QStringLiteral("[X11KeySynthesizer] A paste chord cut short by the end of an earlier run had "
                                   "changed the keyboard; this start %1")
                        .arg(undone));
}

void X11KeySynthesizer::setBeforeChord(std::function<void()> hook)
{
    std::lock_guard lock(mutex);
    beforeChord = std::move(hook);
}
