#pragma once

#include "platform/HotkeyTap.h"

#include <QString>

#include <functional>
#include <vector>

// The key chords that paste in the applications of this desktop.
enum class PasteChord {
    // Most applications: Control+V pastes CLIPBOARD.
    controlV,
    // Terminal emulators that take Control+V as a literal control character
    // and paste CLIPBOARD with Control+Shift+V.
    controlShiftV,
    // Terminal emulators with no key for CLIPBOARD at all (xterm, urxvt):
    // Shift+Insert pastes the PRIMARY selection.
    shiftInsert,
};

// Our own shortcuts, as a paste chord has to mind them. While the key of one
// is down our grab takes every key event, the chord included; while one of
// their modifiers is down the chord turns into another one.
struct ShortcutKeys {
    // The combinations the tap holds (stored encoding).
    std::vector<HotkeyGrab> combinations;
    // True while the tap has the keyboard for a held shortcut key. Callable
    // from any thread.
    std::function<bool()> tapHolding;
};

// A key the server counts as down.
struct DownKey {
    unsigned int code = 0; // the server's key code
    QString name; // its keysym's name ("Alt_R"), for the log
    // It gives a modifier: the chord releases it when it is declared stuck.
    bool givesModifier = false;
    bool operator==(const DownKey& other) const { return code == other.code; }
};

// What keeps a paste chord from going out now.
struct ChordHoldUp {
    // Our grab has the keyboard: the chord would reach nobody but us.
    bool grabHeld = false;
    // Keys of our shortcuts and modifiers that would turn the chord into
    // another one. Modifiers the chord holds anyway are not among them: the
    // chord puts its own in force.
    std::vector<DownKey> keys;
};

// What became of a paste chord.
enum class ChordOutcome {
    notSent,
    // Nothing was sent: our grab holds the keyboard, or a key that holds up
    // the chord and was not declared stuck is down.
    keyDown,
    sent,
    // A key of a shortcut went down as the chord went out: our own grab may
    // have taken the chord and the target may never see it.
    sentAsAShortcutWentDown,
};

// Synthesizes the paste chord in whichever application has the keyboard
// focus, as if the user had pressed it. The chord puts the modifiers it needs
// in force itself, without pressing a modifier key (a press may switch the
// layout, or be dropped), checks that they are, and takes them back after
// its key: the user's keys are neither pressed nor released, and the user
// letting go of theirs as the chord goes out takes nothing from it. A chord
// that cannot get its modifiers in force sends nothing and says why in the
// log. Nothing is pressed on the user's behalf beyond the chord's key, and no
// key is released but those the caller declares stuck.
class KeySynthesizer {
public:
    virtual ~KeySynthesizer() = default;

    // The chord that pastes in the window that has the keyboard focus now.
    // Callable from any thread.
    virtual PasteChord chordForFocusedWindow() = 0;
    // What holds up `chord` now. Callable from any thread.
    virtual ChordHoldUp holdUp(PasteChord chord, const ShortcutKeys& shortcuts) = 0;
    // Sends `chord` unless something holds it up beyond the keys in `stuck`:
    // those of them that would change the chord are released first, and left
    // released. Callable from any thread.
    virtual ChordOutcome sendPasteChord(
        PasteChord chord, const ShortcutKeys& shortcuts, const std::vector<DownKey>& stuck) = 0;
};
