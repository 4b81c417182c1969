#pragma once

#include "platform/KeySynthesizer.h"

#include <atomic>
#include <functional>
#include <mutex>

// Counts paste chords; `onChord` plays the focused application receiving one
// (it runs on the thread that sends the chord).
class FakeKeySynthesizer final : public KeySynthesizer {
public:
    void setOnChord(std::function<void()> onChord)
    {
        std::lock_guard lock(mutex);
        chordCallback = std::move(onChord);
    }
    void setSucceeds(bool succeeds) { chordSucceeds = succeeds; }
    int chordCount() const { return chords.load(); }

    bool sendPasteChord() override
    {
        if (!chordSucceeds)
            return false;
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
};
