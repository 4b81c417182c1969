#pragma once

// Synthesizes the paste chord in whichever application has the keyboard
// focus, as if the user had pressed it.
class KeySynthesizer {
public:
    virtual ~KeySynthesizer() = default;

    // Sends the chord (Control+V on this desktop). Callable from any thread;
    // it may block briefly while the user's own modifier keys are still held.
    // False when nothing could be sent.
    virtual bool sendPasteChord() = 0;
};
