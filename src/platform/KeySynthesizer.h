#pragma once

#include "platform/HotkeyTap.h"

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
// their modifiers is down the chord turns into another one. Neither may be
// released on the user's behalf: that would end the hold they are making.
struct ShortcutKeys {
    // The combinations the tap holds (stored encoding).
    std::vector<HotkeyGrab> combinations;
    // True while the tap has the keyboard for a held shortcut key. Callable
    // from any thread.
    std::function<bool()> tapHolding;
};

// What became of a paste chord.
enum class ChordOutcome {
    notSent,
    // Nothing was sent: a key of a shortcut is down.
    shortcutKeyDown,
    sent,
    // A key of a shortcut was down right after the chord: the user pressed
    // one as it went out, so our own grab may have taken the chord and the
    // target may never see it.
    sentAsAShortcutWentDown,
};

// Synthesizes the paste chord in whichever application has the keyboard
// focus, as if the user had pressed it.
class KeySynthesizer {
public:
    virtual ~KeySynthesizer() = default;

    // The chord that pastes in the window that has the keyboard focus now.
    // Callable from any thread.
    virtual PasteChord chordForFocusedWindow() = 0;
    // Sends `chord`, unless a key of `shortcuts` is down or goes down
    // meanwhile: other modifiers the user holds are waited for briefly.
    // Callable from any thread.
    virtual ChordOutcome sendPasteChord(PasteChord chord, const ShortcutKeys& shortcuts) = 0;
    // Whether a key of `shortcuts`, or one of their modifiers, is down now.
    // Callable from any thread.
    virtual bool isShortcutKeyDown(const ShortcutKeys& shortcuts) = 0;
};
