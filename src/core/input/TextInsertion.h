#pragma once

#include "base/Dispatch.h"
#include "core/config/AppConfig.h"
#include "platform/KeySynthesizer.h"
#include "platform/Pasteboard.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace TextInsertion {
// Keeps the characters (extended grapheme clusters) whose first code point is
// a letter, number, punctuation mark, symbol or white space, and caps the
// result at AppConfig::maxTextLength characters.
QString sanitizeText(const QString& text);
} // namespace TextInsertion

// Pauses and bounds of one paste; tests shorten them.
struct PasteTiming {
    double stepTimeout = 1.0; // wait for each clipboard step on the main thread
    double copyBudget = 1.5; // reading the user's clipboard starts no format after this
    double readyDelay = AppConfig::clipboardReadyDelay; // clipboard set -> chord
    double restoreDelay = AppConfig::clipboardRestoreDelay; // chord -> earliest restore
    double fetchSettle = 0.03; // quiet time after the target's last request
    double fetchFallback = 2.0; // restore even if no request came
    // A chord that went out as the user pressed a shortcut: once the keys are
    // up, a target that got it asks for the text within this, or the chord
    // counts as taken by our own grab and goes out again.
    double heldChordGrace = 0.3;
    int chordAttempts = 3; // chords per paste at most
};

// Types text into the focused application: saves the user's clipboard, puts
// the text on it, sends the paste chord and, once the target has taken the
// text, puts the user's clipboard back. For a terminal that pastes the
// PRIMARY selection, PRIMARY is saved, filled and given back the same way.
// Pastes run one after the other on a queue of their own; the clipboard is
// only touched on the main thread.
class TextInserter {
public:
    // `shortcuts` names our shortcuts for each paste (called on the main
    // thread). While one of their keys is down the desktop hands every key
    // event to us, the chord included, so the paste waits until the user
    // lets go: before it touches the clipboard and again at the chord.
    // Without `primary`, a chord that pastes PRIMARY gets the text on
    // CLIPBOARD only.
    TextInserter(std::shared_ptr<Pasteboard> pasteboard, std::shared_ptr<KeySynthesizer> keys, PasteTiming timing = {},
        std::function<ShortcutKeys()> shortcuts = {}, std::shared_ptr<Pasteboard> primary = {});
    // Lets the queued pastes finish; one still waiting for the user to let
    // go of a shortcut is skipped.
    ~TextInserter();
    TextInserter(const TextInserter&) = delete;
    TextInserter& operator=(const TextInserter&) = delete;

    // Returns at once; the paste happens on the insertion queue.
    void paste(const QString& text);
    // No paste queued or running.
    bool isIdle() const { return inFlight.load() == 0; }

private:
    void runSequence(const QString& text);
    ShortcutKeys currentShortcutKeys() const;
    bool waitForShortcutKeysUp(const ShortcutKeys& shortcuts) const;
    void sendChordUntilTaken(
        PasteChord chord, const ShortcutKeys& shortcuts, const std::vector<std::shared_ptr<Pasteboard>>& boards) const;
    // Whether every selection still holds our text (asked on the main thread).
    bool boardsHoldPastedText(const std::vector<std::shared_ptr<Pasteboard>>& boards) const;
    bool targetFetchedBeforeGrace(
        const Pasteboard& board, uint64_t requestsBefore, const ShortcutKeys& shortcuts) const;
    void waitForTargetFetch(
        const Pasteboard& board, uint64_t requestsBefore, Pasteboard::Clock::time_point chordSent) const;

    std::shared_ptr<Pasteboard> targetPasteboard;
    std::shared_ptr<Pasteboard> primarySelection;
    std::shared_ptr<KeySynthesizer> keySynthesizer;
    PasteTiming pasteTiming;
    std::function<ShortcutKeys()> shortcutKeys;
    std::atomic<int> inFlight{0};
    std::atomic<bool> closing{false};
    Dispatch::SerialQueue queue;
};
