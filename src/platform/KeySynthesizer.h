#pragma once

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

// Synthesizes the paste chord in whichever application has the keyboard
// focus, as if the user had pressed it.
class KeySynthesizer {
public:
    virtual ~KeySynthesizer() = default;

    // The chord that pastes in the window that has the keyboard focus now.
    // Callable from any thread.
    virtual PasteChord chordForFocusedWindow() = 0;
    // Sends `chord`. Callable from any thread; it may block briefly while the
    // user's own modifier keys are still held. False when nothing could be
    // sent.
    virtual bool sendPasteChord(PasteChord chord) = 0;
};
