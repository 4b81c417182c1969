#pragma once

#include "platform/KeySynthesizer.h"

#include <atomic>
#include <functional>
#include <mutex>

// Counts paste chords; `onChord` plays the focused application receiving one
// (it runs on the thread that sends the chord). The focused window asks for
// the chord set with setFocusedChord(). setShortcutKeyDown() plays the user
// holding a key of a shortcut: like the real one, no chord goes out then, and
// a key pressed in `onChord` reports the chord as sent while it went down.
class FakeKeySynthesizer final : public KeySynthesizer {
public:
    void setOnChord(std::function<void()> onChord)
    {
        std::lock_guard lock(mutex);
        chordCallback = std::move(onChord);
    }
    void setSucceeds(bool succeeds) { chordSucceeds = succeeds; }
    void setFocusedChord(PasteChord chord) { focusedChord = chord; }
    void setShortcutKeyDown(bool down) { keyDown = down; }
    int chordCount() const { return chords.load(); }
    PasteChord lastChord() const { return sentChord.load(); }

    PasteChord chordForFocusedWindow() override { return focusedChord.load(); }
    ChordOutcome sendPasteChord(PasteChord chord, const ShortcutKeys& shortcuts) override
    {
        if (!chordSucceeds)
            return ChordOutcome::notSent;
        if (isShortcutKeyDown(shortcuts))
            return ChordOutcome::shortcutKeyDown;
        sentChord = chord;
        ++chords;
        std::function<void()> onChord;
        {
            std::lock_guard lock(mutex);
            onChord = chordCallback;
        }
        if (onChord)
            onChord();
        return isShortcutKeyDown(shortcuts) ? ChordOutcome::sentAsAShortcutWentDown : ChordOutcome::sent;
    }
    bool isShortcutKeyDown(const ShortcutKeys& shortcuts) override
    {
        return keyDown.load() || (shortcuts.tapHolding && shortcuts.tapHolding());
    }

private:
    std::mutex mutex;
    std::function<void()> chordCallback;
    std::atomic<bool> chordSucceeds{true};
    std::atomic<bool> keyDown{false};
    std::atomic<int> chords{0};
    std::atomic<PasteChord> focusedChord{PasteChord::controlV};
    std::atomic<PasteChord> sentChord{PasteChord::controlV};
};
