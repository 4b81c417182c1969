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
        onChord_ = std::move(onChord);
    }
    void setSucceeds(bool succeeds) { succeeds_ = succeeds; }
    int chordCount() const { return chords.load(); }

    bool sendPasteChord() override
    {
        if (!succeeds_)
            return false;
        ++chords;
        std::function<void()> onChord;
        {
            std::lock_guard lock(mutex);
            onChord = onChord_;
        }
        if (onChord)
            onChord();
        return true;
    }

private:
    std::mutex mutex;
    std::function<void()> onChord_;
    std::atomic<bool> succeeds_{true};
    std::atomic<int> chords{0};
};
