#pragma once

#include "platform/KeySynthesizer.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <set>
#include <string>

typedef struct _XDisplay Display;

// The paste chord through XTest on a connection of its own. The focused
// window's WM_CLASS picks the chord: Control+V for most applications, the
// chord a known terminal emulator pastes with by default otherwise (there
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

    PasteChord chordForFocusedWindow() override;
    bool sendPasteChord(PasteChord chord) override;

    // The chord a window of this WM_CLASS (instance and class name) pastes
    // with; nothing when neither name is a known terminal emulator.
    static std::optional<PasteChord> terminalChord(const std::string& instanceName, const std::string& className);

private:
    bool ensureDisplay();
    PasteChord chordForWindowClass(const std::string& instanceName, const std::string& className);

    std::mutex mutex;
    Display* display = nullptr;
    bool xtestAvailable = false;
    // The X server went away: the display is not used again.
    std::atomic<bool> lost{false};
    // Unknown classes already logged, so each is named once.
    std::set<std::string> loggedClasses;
};
