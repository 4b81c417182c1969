#pragma once

#include "platform/KeySynthesizer.h"
#include "platform/x11/X11SlowKeysWatch.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

typedef struct _XDisplay Display;
class X11ChordConnection;

// The paste chord through XTest on a connection of its own. The focused
// window's WM_CLASS picks the chord: Control+V for most applications, the
// chord a known terminal emulator pastes with by default otherwise (there
// Control+V types a literal control character). The "v" key is looked up in
// the keyboard map as it is at that moment, in the active layout, so the
// chord means "paste" whatever the layout. The keyboard as the server counts
// it (XQueryKeymap) tells what holds the chord up: the user's own modifiers
// would turn it into Ctrl+Alt+V, say, which pastes nothing. The chord's
// Control and Shift are XKB state, not key presses (a press of a modifier key
// may switch the layout under an XKB layout-switch option, or be dropped
// where another client left that key down on XTest's device). They are tried
// out first and go out with the key and their undo in one write
// (X11ChordConnection); a chord whose modifiers would not take hold is not
// sent, and the log says why. The desktop's Slow Keys and Bounce Keys apply
// to the chord's key as to the user's: it is held long enough to count and
// never goes down again within the bounce delay. No key is pressed again on the user's
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

    // Runs as the chord's key is about to go out: after its last look at the
    // keyboard and the tryout of its modifiers, before the write that sends
    // it. Tests press keys there.
    void setBeforeChord(std::function<void()> hook);
    // Undoes what a chord cut short by the end of an earlier process left on
    // the keyboard (a key held for Slow Keys, its modifiers), and logs it.
    void repairCutShortChord();

    // The chord a window of this WM_CLASS (instance and class name) pastes
    // with; nothing when neither name is a known terminal emulator.
    static std::optional<PasteChord> terminalChord(const std::string& instanceName, const std::string& className);

private:
    bool ensureDisplay();
    // Waits until `key` may go down again and count under Bounce Keys.
    void spaceFromLastChord(unsigned int key, std::chrono::milliseconds spacing);
    // Waits, within twice `delay`, until Slow Keys has taken or dropped every
    // key pressed before the chord.
    void waitForSlowKeys(std::chrono::milliseconds delay);
    PasteChord chordForWindowClass(const std::string& instanceName, const std::string& className);

    std::function<void()> beforeChord;
    std::mutex mutex;
    Display* display = nullptr;
    bool xtestAvailable = false;
    std::unique_ptr<X11ChordConnection> chordConnection;
    X11SlowKeysWatch slowKeys;
    // The last chord's key and when the server let it go.
    unsigned int lastChordKey = 0;
    std::chrono::steady_clock::time_point lastChordKeyUp;
    // The X server went away: the display is not used again.
    std::atomic<bool> lost{false};
    // Unknown classes already logged, so each is named once.
    std::set<std::string> loggedClasses;
};
