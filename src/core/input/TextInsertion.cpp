#include "core/input/TextInsertion.h"

#include "base/Log.h"
#include "platform/KeySynthesizer.h"

#include <QTextBoundaryFinder>

#include <unicode/uchar.h>

#include <functional>
#include <mutex>

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

// What one paste's main-thread steps hand back to its queue. A step that
// runs after its wait ran out still finds it alive.
struct StepResults {
    std::mutex mutex;
    std::optional<PasteboardContents> saved;
    bool saveStarted = false;
    bool textPlaced = false;
    // The sequence stopped waiting for the text step: when it runs late, it
    // must leave the clipboard alone, as nothing will restore it.
    bool abandoned = false;
};

// Copying a large image in every format the owner offers takes seconds; a
// copy under way is awaited this long rather than thrown away, which would
// lose the user's clipboard.
constexpr double saveUnderWayTimeout = 30.0;

// Queues `step` on the main thread; the semaphore is signalled once it ran.
std::shared_ptr<Dispatch::Semaphore> postToMain(std::function<void()> step)
{
    auto done = std::make_shared<Dispatch::Semaphore>();
    Dispatch::main().async([step = std::move(step), done] {
        step();
        done->signal();
    });
    return done;
}

// Runs `step` on the main thread; false when it had not run within `timeout`
// (it still runs later).
bool runOnMain(std::function<void()> step, double timeout)
{
    return postToMain(std::move(step))->wait(timeout);
}

std::chrono::steady_clock::duration seconds(double value)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(value));
}

} // namespace

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
    PasteTiming timing, std::function<bool()> shortcutHeld)
    : targetPasteboard(std::move(pasteboard)),
      keySynthesizer(std::move(keys)),
      pasteTiming(timing),
      shortcutKeyHeld(std::move(shortcutHeld)),
      queue(QStringLiteral("com.tallowind.insertion"))
{
}

TextInserter::~TextInserter() = default;

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
    // The user may already hold push-to-talk again for the next dictation.
    // Waiting here, before the clipboard is touched, keeps the user's
    // contents in place meanwhile; later pastes queue behind this one.
    while (shortcutKeyHeld && shortcutKeyHeld())
        Dispatch::sleepFor(0.01);

    auto results = std::make_shared<StepResults>();
    std::shared_ptr<Pasteboard> board = targetPasteboard;

    auto saveDone = postToMain([board, results] {
        {
            std::lock_guard lock(results->mutex);
            results->saveStarted = true;
        }
        auto contents = board->snapshot();
        std::lock_guard lock(results->mutex);
        results->saved = std::move(contents);
    });
    if (!saveDone->wait(pasteTiming.stepTimeout)) {
        bool started = false;
        {
            std::lock_guard lock(results->mutex);
            started = results->saveStarted;
        }
        if (started)
            saveDone->wait(saveUnderWayTimeout);
    }
    runOnMain(
        [board, results, text] {
            std::lock_guard lock(results->mutex);
            if (!results->abandoned)
                results->textPlaced = board->setText(text);
        },
        pasteTiming.stepTimeout);
    // The main queue runs the save before the text, so once the text is
    // placed the copy of the user's clipboard is there too, even a late one.
    bool placed = false;
    std::optional<PasteboardContents> saved;
    {
        std::lock_guard lock(results->mutex);
        results->abandoned = true;
        placed = results->textPlaced;
        saved = std::move(results->saved);
    }
    // Without our text on the clipboard the chord would paste whatever the
    // user had copied, possibly something private, into another window.
    if (!placed) {
        Log::system(QStringLiteral("[TextInserter] Text did not reach the clipboard; paste skipped"));
        return;
    }

    Dispatch::sleepFor(pasteTiming.readyDelay);
    const uint64_t requestsBefore = board->fetchCount();
    const bool sent = keySynthesizer->sendPasteChord();
    const auto chordSent = Pasteboard::Clock::now();
    Dispatch::sleepFor(pasteTiming.restoreDelay);
    if (sent)
        waitForTargetFetch(requestsBefore, chordSent);

    if (!saved)
        return;
    // If something else was copied meanwhile, that is the user's clipboard now.
    runOnMain(
        [board, contents = std::move(*saved)] {
            if (board->holdsPastedText())
                board->restore(contents);
        },
        pasteTiming.stepTimeout);
}

// X11 pastes are asynchronous: the target asks for our text some time after
// the chord. Restoring before it has read it would paste the old contents.
void TextInserter::waitForTargetFetch(uint64_t requestsBefore, Pasteboard::Clock::time_point chordSent) const
{
    const auto settle = seconds(pasteTiming.fetchSettle);
    const auto fallback = chordSent + seconds(pasteTiming.fetchFallback);
    for (;;) {
        const auto now = Pasteboard::Clock::now();
        if (targetPasteboard->fetchCount() > requestsBefore && now - targetPasteboard->lastFetchTime() >= settle)
            return;
        if (now >= fallback)
            return;
        Dispatch::sleepFor(0.002);
    }
}
