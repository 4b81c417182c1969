#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// One keyboard event seen by the global hotkey tap, already in the stored
// shortcut encoding: an ANSI-layout virtual key code and the
// device-independent modifier flags held at the time of the event.
struct HotkeyEvent {
    // Values of the event types the controller was designed around.
    enum class Type : int { keyDown = 10, keyUp = 11, flagsChanged = 12 };

    Type type = Type::keyDown;
    uint16_t keyCode = 0;
    // For key events the modifiers held while the key went down or up; for
    // flagsChanged the modifiers held after the change, with keyCode naming
    // the modifier key that changed.
    uint32_t modifierFlags = 0;
    // A key-up that ends the tap's hold on the keyboard (the release of the
    // key whose press began it). Keys still down then come up unseen, in
    // the focused application.
    bool endsGrab = false;
};

// A key combination the tap takes from every application (stored encoding).
struct HotkeyGrab {
    uint16_t keyCode = 0;
    uint32_t modifierFlags = 0;
    friend bool operator==(const HotkeyGrab&, const HotkeyGrab&) = default;
};

// A desktop-wide keyboard tap for a set of key combinations. Events are
// delivered on the main thread, one at a time, to the handler given at
// creation. The handler answers whether the event is swallowed.
//
// What reaches the handler depends on the desktop. On X11 the tap is made of
// passive grabs: the handler sees the grabbed combinations' key-downs and,
// while such a key is held, every key and modifier event until its release.
// All of those have already been taken from the focused application, so a
// "pass on" answer cannot be honoured there (canPassOn() is false).
class HotkeyTap {
public:
    enum class Disposition { passOn, swallow };
    using Handler = std::function<Disposition(const HotkeyEvent&)>;

    virtual ~HotkeyTap() = default;

    // Creates the tap for `grabs`, enabled. False when it could not be made
    // (no display); the tap then stays absent and create() may be tried
    // again later. A combination another program holds (refusedGrabs()
    // names it) or whose key the keyboard map lacks is not armed (and
    // logged) but does not keep the others from working.
    virtual bool create(const std::vector<HotkeyGrab>& grabs, Handler handler) = 0;
    virtual bool exists() const = 0;

    // Replaces the set of grabbed combinations of an existing tap. False when
    // one of them could not be armed (taken by another program, or no key
    // for it in the keyboard map); the others are held regardless. The same
    // set again tries the refused combinations once more.
    virtual bool setGrabs(const std::vector<HotkeyGrab>& grabs) = 0;

    // The requested combinations that another program held when the tap
    // last tried to take them; none of them is armed.
    virtual std::vector<HotkeyGrab> refusedGrabs() const = 0;

    // Whether another program holds `grab` now, for a combination the tap
    // does not hold itself. The tap may take it for a moment to find out.
    virtual bool isHeldByAnotherProgram(const HotkeyGrab& grab) = 0;

    // A disabled tap keeps existing but takes and delivers nothing.
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;

    // Destroys the tap for good; exists() is false afterwards.
    virtual void invalidate() = 0;

    virtual bool canPassOn() const = 0;

    // True while the user holds the key of one of the grabbed combinations.
    // Meanwhile every key event goes to the tap, a synthesized paste chord
    // included, so a paste must wait. Callable from any thread.
    virtual bool isShortcutKeyHeld() const = 0;
};
