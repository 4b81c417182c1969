#include "core/input/TextInsertion.h"

#include "base/Log.h"
#include "core/input/ClipboardCopy.h"
#include "platform/KeySynthesizer.h"

#include <QTextBoundaryFinder>

#include <unicode/uchar.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace {

bool isKeptCodePoint(char32_t c)
{
    if (c == U'\n' || c == U'\t')
        return true;
    const auto uc = static_cast<UChar32>(c);
    if (u_hasBinaryProperty(uc, UCHAR_ALPHABETIC) || u_hasBinaryProperty(uc, UCHAR_WHITE_SPACE))
        return true;
    if (u_getIntPropertyValue(uc, UCHAR_NUMERIC_TYPE) != U_NT_NONE)
        return true;
    const uint32_t category = U_GET_GC_MASK(uc);
    return (category & (U_GC_P_MASK | U_GC_S_MASK)) != 0;
}

// What the text step hands back to its paste. A step that runs after its
// wait ran out still finds it alive.
struct TextStep {
    std::mutex mutex;
    bool placed = false;
    // The text is owed to the program with the focus, however late it asks.
    bool delivered = false;
    // The sequence stopped waiting for the text step: when it runs late, it
    // must leave the clipboard alone, as nothing will restore it.
    bool abandoned = false;
};

// A copy under way is awaited this long rather than thrown away, which would
// lose the user's clipboard: the budget stops new reads, but one already
// asked of the owner (a large image, say) can take seconds.
constexpr double copyUnderWayTimeout = 30.0;

// Runs `step` on the main thread; false when it had not run within `timeout`
// (it still runs later).
bool runOnMain(std::function<void()> step, double timeout)
{
    auto done = std::make_shared<Dispatch::Semaphore>();
    Dispatch::main().async([step = std::move(step), done] {
        step();
        done->signal();
    });
    return done->wait(timeout);
}

std::chrono::steady_clock::duration seconds(double value)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(value));
}

} // namespace

// One paste's selections and the copies of what the user had in them.
// Main thread only.
struct TextInserter::Loan {
    std::vector<std::shared_ptr<Pasteboard>> boards;
    std::vector<std::shared_ptr<ClipboardCopy>> copies;
    bool settled = false;

    // A selection that took our text before another one refused it is given
    // back all the same; one the user copied something else to meanwhile is
    // the user's now.
    void giveBack()
    {
        if (std::exchange(settled, true))
            return;
        for (size_t i = 0; i < boards.size(); ++i) {
            if (auto contents = copies[i]->contents(); contents && boards[i]->holdsPastedText())
                boards[i]->restore(*contents);
        }
    }
};

// The target's requests for the text of the selection the chord reads: those
// the clipboard answered and those the delivery answered.
struct TextInserter::Fetches {
    const Pasteboard& board;
    const PasteDelivery* delivery;
    PasteDelivery::Selection selection;

    uint64_t count() const { return board.fetchCount() + (delivery ? delivery->fetchCount(selection) : 0); }
    Pasteboard::Clock::time_point last() const
    {
        return delivery ? std::max(board.lastFetchTime(), delivery->lastFetchTime(selection)) : board.lastFetchTime();
    }
};

struct TextInserter::Lending {
    std::atomic<bool> quitting{false};
    // The paste whose text may be on the selections now; main thread only.
    std::shared_ptr<Loan> open;
};

QString TextInsertion::sanitizeText(const QString& text)
{
    QString kept;
    kept.reserve(text.size());
    int characters = 0;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end != -1 && characters < AppConfig::maxTextLength;
         start = end, end = graphemes.toNextBoundary()) {
        if (end <= start)
            continue;
        const char32_t first = QStringView(text).mid(start, end - start).toUcs4().constFirst();
        if (!isKeptCodePoint(first))
            continue;
        kept.append(QStringView(text).mid(start, end - start));
        ++characters;
    }
    return kept;
}

TextInserter::TextInserter(std::shared_ptr<Pasteboard> pasteboard, std::shared_ptr<KeySynthesizer> keys,
    PasteTiming timing, std::function<ShortcutKeys()> shortcuts, std::shared_ptr<Pasteboard> primary,
    std::shared_ptr<PasteDelivery> delivery)
    : targetPasteboard(std::move(pasteboard)),
      primarySelection(std::move(primary)),
      pasteDelivery(std::move(delivery)),
      keySynthesizer(std::move(keys)),
      pasteTiming(timing),
      shortcutKeys(std::move(shortcuts)),
      lending(std::make_shared<Lending>()),
      holdRule(seconds(timing.strayKeyBound)),
      queue(QStringLiteral("com.tallowind.insertion"))
{
}

TextInserter::~TextInserter()
{
    closing = true;
}

void TextInserter::quit()
{
    lending->quitting = true;
    closing = true;
    // A chord going out now reads our text; one after this sees the quit.
    {
        std::lock_guard gate(chordGate);
    }
    if (const std::shared_ptr<Loan> loan = std::exchange(lending->open, nullptr))
        loan->giveBack();
}

void TextInserter::paste(const QString& text)
{
    ++inFlight;
    queue.async([this, text] {
        runSequence(text);
        --inFlight;
    });
}

void TextInserter::runSequence(const QString& text)
{
    if (lending->quitting)
        return;
    // The user may already hold push-to-talk again for the next dictation.
    // Waiting here, before the clipboard is touched, keeps the user's
    // contents in place meanwhile; later pastes queue behind this one.
    const ShortcutKeys shortcuts = currentShortcutKeys();
    if (!waitUntilChordMayGo(keySynthesizer->chordForFocusedWindow(), shortcuts)) {
        Log::system(QStringLiteral("[TextInserter] Closing while a key holds the paste up; paste skipped"));
        return;
    }

    // A terminal that pastes PRIMARY gets the text there too; the chord then
    // reads PRIMARY, CLIPBOARD only keeps the two selections alike.
    const PasteChord chord = keySynthesizer->chordForFocusedWindow();
    auto loan = std::make_shared<Loan>();
    loan->boards.push_back(targetPasteboard);
    if (chord == PasteChord::shiftInsert && primarySelection)
        loan->boards.push_back(primarySelection);

    for (const auto& board : loan->boards) {
        auto copy = std::make_shared<ClipboardCopy>(board, pasteTiming.copyBudget);
        copy->start();
        if (!copy->waitUntilFinished(pasteTiming.stepTimeout) && copy->hasStarted())
            copy->waitUntilFinished(copyUnderWayTimeout);
        loan->copies.push_back(std::move(copy));
    }

    // The text step ends the copies first: a read still queued behind it
    // would otherwise copy our own text.
    auto textStep = std::make_shared<TextStep>();
    runOnMain(
        [loan, textStep, text, lending = lending, delivery = pasteDelivery] {
            for (const auto& copy : loan->copies)
                copy->finishAndClose();
            std::lock_guard lock(textStep->mutex);
            if (textStep->abandoned || lending->quitting)
                return;
            lending->open = loan;
            textStep->placed = std::all_of(
                loan->boards.begin(), loan->boards.end(), [&text](const auto& board) { return board->setText(text); });
            if (textStep->placed && delivery)
                textStep->delivered = delivery->deliver(text, loan->boards.size() > 1);
        },
        pasteTiming.stepTimeout);
    bool placed = false;
    bool delivered = false;
    {
        std::lock_guard lock(textStep->mutex);
        textStep->abandoned = true;
        placed = textStep->placed;
        delivered = textStep->delivered;
    }
    // Without our text in every selection the chord reads, it would paste
    // whatever the user had copied or selected, possibly something private,
    // into another window.
    bool chordWentOut = false;
    if (placed) {
        Dispatch::sleepFor(pasteTiming.readyDelay);
        chordWentOut = sendChordUntilTaken(chord, shortcuts, loan->boards, delivered);
    } else if (!lending->quitting) {
        Log::system(QStringLiteral("[TextInserter] Text did not reach the clipboard; paste skipped"));
    }

    // Once the text is placed the copies are closed and complete, even a late
    // one. A text no chord went out for is owed to nobody.
    runOnMain(
        [loan, lending = lending, delivery = pasteDelivery, withdraw = delivered && !chordWentOut] {
            loan->giveBack();
            if (lending->open == loan)
                lending->open.reset();
            if (withdraw)
                delivery->withdraw();
        },
        pasteTiming.stepTimeout);
}

ShortcutKeys TextInserter::currentShortcutKeys() const
{
    if (!shortcutKeys)
        return {};
    // Read where the shortcuts live; a main thread too busy to answer leaves
    // only the wait for modifiers in general.
    struct Answer {
        std::mutex mutex;
        ShortcutKeys keys;
    };
    auto answer = std::make_shared<Answer>();
    runOnMain(
        [answer, read = shortcutKeys] {
            ShortcutKeys keys = read();
            std::lock_guard lock(answer->mutex);
            answer->keys = std::move(keys);
        },
        pasteTiming.stepTimeout);
    std::lock_guard lock(answer->mutex);
    return answer->keys;
}

ChordHoldRule::Verdict TextInserter::lookAtKeys(PasteChord chord, const ShortcutKeys& shortcuts)
{
    ChordHoldRule::Verdict verdict =
        holdRule.look(keySynthesizer->holdUp(chord, shortcuts), std::chrono::steady_clock::now());
    for (const DownKey& key : verdict.newlyStuck)
        Log::system(QStringLiteral("[TextInserter] %1 has been down for %2 s with no shortcut held; taken as stuck, "
                                   "the paste goes out regardless")
                        .arg(key.name)
                        .arg(pasteTiming.strayKeyBound));
    return verdict;
}

// The stuck keys the chord may go out with; nothing when the inserter closes
// first: a hold may outlast it.
std::optional<std::vector<DownKey>> TextInserter::waitUntilChordMayGo(PasteChord chord, const ShortcutKeys& shortcuts)
{
    for (;;) {
        ChordHoldRule::Verdict verdict = lookAtKeys(chord, shortcuts);
        if (!verdict.wait)
            return std::move(verdict.stuck);
        if (closing)
            return std::nullopt;
        Dispatch::sleepFor(0.01);
    }
}

// A chord that went out as the user pressed a shortcut may have gone to our
// own grab, which hands it to nobody. It goes out again once the keys are up,
// but only when the target never asked for the text: a target that asked has
// it, and a text is never typed twice. Nor is a chord sent again once the
// user has copied something else: it would paste that. True once a chord
// went out.
bool TextInserter::sendChordUntilTaken(PasteChord chord, const ShortcutKeys& shortcuts,
    const std::vector<std::shared_ptr<Pasteboard>>& boards, bool delivered)
{
    const Fetches pastedFrom{*boards.back(), pasteDelivery.get(),
        boards.size() > 1 ? PasteDelivery::Selection::primary : PasteDelivery::Selection::clipboard};
    bool wentOut = false;
    for (int attempt = 0; attempt < pasteTiming.chordAttempts;) {
        const std::optional<std::vector<DownKey>> stuck = waitUntilChordMayGo(chord, shortcuts);
        if (!stuck || (attempt > 0 && !boardsHoldPastedText(boards)))
            return wentOut;
        const uint64_t requestsBefore = pastedFrom.count();
        ChordOutcome outcome = ChordOutcome::notSent;
        {
            std::lock_guard gate(chordGate);
            if (lending->quitting)
                return wentOut;
            outcome = keySynthesizer->sendPasteChord(chord, shortcuts, *stuck);
        }
        if (outcome == ChordOutcome::sent || outcome == ChordOutcome::sentAsAShortcutWentDown) {
            holdRule.chordWentOut(*stuck);
            wentOut = true;
        }
        const auto chordSent = Pasteboard::Clock::now();
        if (outcome == ChordOutcome::keyDown)
            continue; // pressed since the wait
        ++attempt;
        if (outcome == ChordOutcome::notSent)
            return wentOut;
        if (outcome == ChordOutcome::sentAsAShortcutWentDown
            && !targetFetchedBeforeGrace(pastedFrom, requestsBefore, chord, shortcuts)) {
            Log::system(QStringLiteral("[TextInserter] The paste chord went out as a shortcut was pressed and no "
                                       "application asked for the text; sending it again"));
            continue;
        }
        Dispatch::sleepFor(pasteTiming.restoreDelay);
        waitForTargetFetch(pastedFrom, requestsBefore, chordSent, delivered);
        return wentOut;
    }
    return wentOut;
}

bool TextInserter::boardsHoldPastedText(const std::vector<std::shared_ptr<Pasteboard>>& boards) const
{
    auto holds = std::make_shared<std::atomic<bool>>(false);
    runOnMain(
        [boards, holds] {
            *holds =
                std::all_of(boards.begin(), boards.end(), [](const auto& board) { return board->holdsPastedText(); });
        },
        pasteTiming.stepTimeout);
    return holds->load();
}

// True as soon as the target asks for the text (or the inserter closes);
// false once nothing has held the chord up for the grace without a request.
// A key that was stuck before the chord holds nothing up.
bool TextInserter::targetFetchedBeforeGrace(
    const Fetches& fetches, uint64_t requestsBefore, PasteChord chord, const ShortcutKeys& shortcuts)
{
    const auto grace = seconds(pasteTiming.heldChordGrace);
    // Since when nothing has held the chord up; never while something does.
    constexpr auto never = Pasteboard::Clock::time_point::max();
    auto upSince = never;
    for (;;) {
        if (fetches.count() > requestsBefore || closing)
            return true;
        const auto now = Pasteboard::Clock::now();
        if (lookAtKeys(chord, shortcuts).wait)
            upSince = never;
        else if (upSince == never)
            upSince = now;
        else if (now - upSince >= grace)
            return false;
        Dispatch::sleepFor(0.005);
    }
}

// X11 pastes are asynchronous: the target asks for our text some time after
// the chord. Restoring before it has read it would paste the old contents,
// unless the text is owed to it: it gets the text however late it asks.
void TextInserter::waitForTargetFetch(
    const Fetches& fetches, uint64_t requestsBefore, Pasteboard::Clock::time_point chordSent, bool delivered) const
{
    const auto settle = seconds(pasteTiming.fetchSettle);
    const auto fallback = chordSent + seconds(pasteTiming.fetchFallback);
    for (;;) {
        const auto now = Pasteboard::Clock::now();
        if (fetches.count() > requestsBefore && now - fetches.last() >= settle)
            return;
        if (lending->quitting)
            return;
        if (now >= fallback) {
            if (!delivered && fetches.count() == requestsBefore)
                Log::system(QStringLiteral("[TextInserter] No program asked for the text within %1 s; the "
                                           "clipboard is given back")
                                .arg(pasteTiming.fetchFallback));
            return;
        }
        Dispatch::sleepFor(0.002);
    }
}
