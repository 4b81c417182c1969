#pragma once

#include "platform/KeySynthesizer.h"

#include <atomic>
#include <functional>
#include <mutex>

// Counts paste chords; `onChord` plays the focused application receiving one
// (it runs on the thread that sends the chord). The focused window asks for
// the chord set with setFocusedChord().
class FakeKeySynthesizer final : public KeySynthesizer {
public:
    void setOnChord(std::function<void()> onChord)
    {
        std::lock_guard lock(mutex);
        chordCallback = std::move(onChord);
    }
    void setSucceeds(bool succeeds) { chordSucceeds = succeeds; }
    void setFocusedChord(PasteChord chord) { focusedChord = chord; }
    int chordCount() const { return chords.load(); }
    PasteChord lastChord() const { return sentChord.load(); }

    PasteChord chordForFocusedWindow() override { return focusedChord.load(); }
    bool sendPasteChord(PasteChord chord) override
    {
        if (!chordSucceeds)
            return false;
        sentChord = chord;
        ++chords;
        std::function<void()> onChord;
        {
            std::lock_guard lock(mutex);
            onChord = chordCallback;
        }
        if (onChord)
            onChord();
        return true;
    }

private:
    std::mutex mutex;
    std::function<void()> chordCallback;
    std::atomic<bool> chordSucceeds{true};
    std::atomic<int> chords{0};
    std::atomic<PasteChord> focusedChord{PasteChord::controlV};
    std::atomic<PasteChord> sentChord{PasteChord::controlV};
};
