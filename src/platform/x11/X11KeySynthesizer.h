#pragma once

#include "platform/KeySynthesizer.h"

#include <mutex>
#include <string>

typedef struct _XDisplay Display;

// The paste chord through XTest on a connection of its own: Control+V, or
// Control+Shift+V when the focused window is a terminal emulator (there
// Control+V types a literal control character). The "v" key is looked up in
// the keyboard map as it is at that moment, in the active layout, so the
// chord means "paste" whatever the layout. The user's own modifiers (the Alt
// of the shortcut, say) would turn the chord into Ctrl+Alt+V, which pastes
// nothing: they are waited for, and only when the user keeps holding them
// past the bound are they released for the chord. They are never pressed
// again on the user's behalf: a press from XTest is not the physical key, so
// the modifier would stay logically down after the user lets go.
class X11KeySynthesizer final : public KeySynthesizer {
public:
    // How long the chord waits for the user's modifiers to come up.
    static constexpr double modifierReleaseWait = 2.0;

    X11KeySynthesizer();
    ~X11KeySynthesizer() override;
    X11KeySynthesizer(const X11KeySynthesizer&) = delete;
    X11KeySynthesizer& operator=(const X11KeySynthesizer&) = delete;

    bool sendPasteChord() override;

    // Whether a window of this WM_CLASS (instance or class name) is a
    // terminal emulator.
    static bool isTerminalClass(const std::string& wmClassPart);

private:
    bool ensureDisplay();
    bool focusedWindowIsTerminal();

    std::mutex mutex;
    Display* display = nullptr;
    bool xtestAvailable = false;
};
