#pragma once

#include "platform/KeySynthesizer.h"

#include <mutex>

typedef struct _XDisplay Display;

// Control+V through XTest on a connection of its own. The key is looked up
// by keysym, so the chord means "paste" whatever the keyboard layout. The
// user's own modifiers (the Alt of the shortcut, say) would turn the chord
// into Ctrl+Alt+V, which pastes nothing: they are waited for, and released
// around the chord when the user keeps holding them.
class X11KeySynthesizer final : public KeySynthesizer {
public:
    // How long the chord waits for the user's modifiers to come up.
    static constexpr double modifierReleaseWait = 0.5;

    X11KeySynthesizer();
    ~X11KeySynthesizer() override;
    X11KeySynthesizer(const X11KeySynthesizer&) = delete;
    X11KeySynthesizer& operator=(const X11KeySynthesizer&) = delete;

    bool sendPasteChord() override;

private:
    bool ensureDisplay();

    std::mutex mutex;
    Display* display_ = nullptr;
    bool xtestAvailable = false;
};
