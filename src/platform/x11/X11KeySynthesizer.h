#pragma once

#include "platform/KeySynthesizer.h"

#include <atomic>
#include <functional>
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
// chord means "paste" whatever the layout. The keyboard as the server counts
// it (XQueryKeymap) tells what holds the chord up: the user's own modifiers
// would turn it into Ctrl+Alt+V, say, which pastes nothing. The chord's
// Control and Shift are put in force without a key of theirs
// (X11ModifiersInForce) and checked to be in force before its one key goes
// out: pressing a modifier key may switch the layout under an XKB
// layout-switch option, or be dropped where another client left that key
// down on XTest's device. Whatever the chord cannot get in force, it does not
// send, and says why in the log. No key is pressed again on the user's
// behalf: a press from XTest is not the physical key, so it would stay
// logically down after the user lets go.
class X11KeySynthesizer final : public KeySynthesizer {
public:
    X11KeySynthesizer();
    ~X11KeySynthesizer() override;
    X11KeySynthesizer(const X11KeySynthesizer&) = delete;
    X11KeySynthesizer& operator=(const X11KeySynthesizer&) = delete;

    PasteChord chordForFocusedWindow() override;
    ChordHoldUp holdUp(PasteChord chord, const ShortcutKeys& shortcuts) override;
    ChordOutcome sendPasteChord(
        PasteChord chord, const ShortcutKeys& shortcuts, const std::vector<DownKey>& stuck) override;

    // Runs between the chord's last look at the keyboard and the chord
    // itself: tests press keys there.
    void setBeforeChord(std::function<void()> hook);

    // The chord a window of this WM_CLASS (instance and class name) pastes
    // with; nothing when neither name is a known terminal emulator.
    static std::optional<PasteChord> terminalChord(const std::string& instanceName, const std::string& className);

private:
    bool ensureDisplay();
    PasteChord chordForWindowClass(const std::string& instanceName, const std::string& className);

    std::function<void()> beforeChord;
    std::mutex mutex;
    Display* display = nullptr;
    bool xtestAvailable = false;
    // The X server went away: the display is not used again.
    std::atomic<bool> lost{false};
    // Unknown classes already logged, so each is named once.
    std::set<std::string> loggedClasses;
};
