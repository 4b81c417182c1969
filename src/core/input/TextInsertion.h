#pragma once

#include "base/Dispatch.h"
#include "core/config/AppConfig.h"
#include "core/input/ChordHoldRule.h"
#include "platform/KeySynthesizer.h"
#include "platform/PasteDelivery.h"
#include "platform/Pasteboard.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
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
    // A key down while no shortcut of ours is held (a modifier, or a key of
    // a shortcut without our grab) holds a paste up at most this long: long
    // enough to wait out a modifier the user holds. Then it counts as stuck,
    // left down by another client, and the paste goes out regardless.
    double strayKeyBound = 8.0;
};

// Types text into the focused application: saves the user's clipboard, puts
// the text on it, sends the paste chord and, once the target has taken the
// text, puts the user's clipboard back. For a terminal that pastes the
// PRIMARY selection, PRIMARY is saved, filled and given back the same way.
// A target that asks for the text only after that, or with a request the
// clipboard refuses, still gets it through the PasteDelivery. Pastes run one
// after the other on a queue of their own; the clipboard is only touched on
// the main thread.
class TextInserter {
public:
    // `shortcuts` names our shortcuts for each paste (called on the main
    // thread). While the user holds one our grab takes every key event, the
    // chord included, so the paste waits until the user lets go, however
    // long: before it touches the clipboard and again at the chord. Other
    // keys that hold the chord up are waited for within
    // PasteTiming::strayKeyBound. Without `primary`, a chord that pastes
    // PRIMARY gets the text on CLIPBOARD only. Without `delivery`, the
    // target gets the text only while it is on the clipboard.
    TextInserter(std::shared_ptr<Pasteboard> pasteboard, std::shared_ptr<KeySynthesizer> keys, PasteTiming timing = {},
        std::function<ShortcutKeys()> shortcuts = {}, std::shared_ptr<Pasteboard> primary = {},
        std::shared_ptr<PasteDelivery> delivery = {});
    // Lets the queued pastes finish; one still waiting for a key to come up
    // is skipped.
    ~TextInserter();
    TextInserter(const TextInserter&) = delete;
    TextInserter& operator=(const TextInserter&) = delete;

    // Returns at once; the paste happens on the insertion queue.
    void paste(const QString& text);
    // No paste queued or running.
    bool isIdle() const { return inFlight.load() == 0; }
    // The application quits (main thread): the process ends once this
    // returns, so no paste puts our text on a selection or sends a chord
    // after it, and a paste under way gives the user's selections back now.
    void quit();

private:
    // The user's selections while our text stands in for them.
    struct Loan;
    struct Lending;
    struct Fetches;
    void runSequence(const QString& text);
    ShortcutKeys currentShortcutKeys() const;
    ChordHoldRule::Verdict lookAtKeys(PasteChord chord, const ShortcutKeys& shortcuts);
    std::optional<std::vector<DownKey>> waitUntilChordMayGo(PasteChord chord, const ShortcutKeys& shortcuts);
    bool sendChordUntilTaken(PasteChord chord, const ShortcutKeys& shortcuts,
        const std::vector<std::shared_ptr<Pasteboard>>& boards, bool delivered);
    // Whether every selection still holds our text (asked on the main thread).
    bool boardsHoldPastedText(const std::vector<std::shared_ptr<Pasteboard>>& boards) const;
    bool targetFetchedBeforeGrace(
        const Fetches& fetches, uint64_t requestsBefore, PasteChord chord, const ShortcutKeys& shortcuts);
    void waitForTargetFetch(
        const Fetches& fetches, uint64_t requestsBefore, Pasteboard::Clock::time_point chordSent, bool delivered) const;

    std::shared_ptr<Pasteboard> targetPasteboard;
    std::shared_ptr<Pasteboard> primarySelection;
    std::shared_ptr<PasteDelivery> pasteDelivery;
    std::shared_ptr<KeySynthesizer> keySynthesizer;
    PasteTiming pasteTiming;
    std::function<ShortcutKeys()> shortcutKeys;
    std::atomic<int> inFlight{0};
    std::atomic<bool> closing{false};
    std::shared_ptr<Lending> lending;
    // Held while a chord goes out, so that a quit comes before or after it.
    std::mutex chordGate;
    // Carried across the waits of a paste and on to the next: a key that
    // stays down costs the bound once. Insertion queue only.
    ChordHoldRule holdRule;
    Dispatch::SerialQueue queue;
};
