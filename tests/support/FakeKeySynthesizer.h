#pragma once

#include "platform/KeySynthesizer.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

// Counts paste chords; `onChord` plays the focused application receiving one
// (it runs on the thread that sends the chord). The focused window asks for
// the chord set with setFocusedChord(). setShortcutHeld() plays our grab
// holding the keyboard for a held shortcut, press() a key down that holds up
// the chord (a modifier, or a key of a shortcut without the grab). Like the
// real one, no chord goes out while either is down, a stuck modifier is
// released for the chord, and a hold begun in `onChord` reports the chord as
// sent while a shortcut went down.
class FakeKeySynthesizer final : public KeySynthesizer {
public:
    void setOnChord(std::function<void()> onChord)
    {
        std::lock_guard lock(mutex);
        chordCallback = std::move(onChord);
    }
    void setSucceeds(bool succeeds) { chordSucceeds = succeeds; }
    void setFocusedChord(PasteChord chord) { focusedChord = chord; }
    void setShortcutHeld(bool held) { grabHeld = held; }
    // `modifier`: the key gives a modifier, so a stuck one is released.
    void press(DownKey key, bool modifier = true)
    {
        key.givesModifier = modifier;
        std::lock_guard lock(mutex);
        down.push_back(std::move(key));
    }
    void release(const DownKey& key)
    {
        std::lock_guard lock(mutex);
        std::erase(down, key);
    }
    // The keys a chord released as stuck, in order.
    std::vector<DownKey> releasedKeys()
    {
        std::lock_guard lock(mutex);
        return released;
    }
    int chordCount() const { return chords.load(); }
    PasteChord lastChord() const { return sentChord.load(); }

    PasteChord chordForFocusedWindow() override { return focusedChord.load(); }
    ChordHoldUp holdUp(PasteChord, const ShortcutKeys& shortcuts) override
    {
        ChordHoldUp holdUp;
        holdUp.grabHeld = grabHeld.load() || (shortcuts.tapHolding && shortcuts.tapHolding());
        std::lock_guard lock(mutex);
        holdUp.keys = down;
        return holdUp;
    }
    ChordOutcome sendPasteChord(
        PasteChord chord, const ShortcutKeys& shortcuts, const std::vector<DownKey>& stuck) override
    {
        if (!chordSucceeds)
            return ChordOutcome::notSent;
        const ChordHoldUp before = holdUp(chord, shortcuts);
        if (before.grabHeld)
            return ChordOutcome::keyDown;
        for (const DownKey& key : before.keys)
            if (std::find(stuck.begin(), stuck.end(), key) == stuck.end())
                return ChordOutcome::keyDown;
        std::function<void()> onChord;
        {
            std::lock_guard lock(mutex);
            std::erase_if(down, [&](const DownKey& held) {
                if (held.givesModifier)
                    released.push_back(held);
                return held.givesModifier;
            });
            onChord = chordCallback;
        }
        sentChord = chord;
        ++chords;
        if (onChord)
            onChord();
        const ChordHoldUp after = holdUp(chord, shortcuts);
        const bool wentDown =
            after.grabHeld || std::any_of(after.keys.begin(), after.keys.end(), [&](const DownKey& key) {
                return std::find(before.keys.begin(), before.keys.end(), key) == before.keys.end();
            });
        return wentDown ? ChordOutcome::sentAsAShortcutWentDown : ChordOutcome::sent;
    }

private:
    std::mutex mutex;
    std::function<void()> chordCallback;
    std::vector<DownKey> down;
    std::vector<DownKey> released;
    std::atomic<bool> chordSucceeds{true};
    std::atomic<bool> grabHeld{false};
    std::atomic<int> chords{0};
    std::atomic<PasteChord> focusedChord{PasteChord::controlV};
    std::atomic<PasteChord> sentChord{PasteChord::controlV};
};
