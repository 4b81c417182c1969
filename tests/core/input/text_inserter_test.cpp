#include "core/input/TextInsertion.h"

#include "support/EventLoop.h"
#include "support/FakeKeySynthesizer.h"
#include "support/FakePasteDelivery.h"
#include "support/FakePasteboard.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>

namespace {

const QString skippedLine = QStringLiteral("[TextInserter] Text did not reach the clipboard; paste skipped");
const QString unaskedLine = QStringLiteral("No program asked for the text");
using Owed = QList<FakePasteDelivery::Delivery>;

PasteboardContents richContents()
{
    return {
        {QStringLiteral("text/html"), QByteArray("<b>mine</b>")},
        {QStringLiteral("text/plain"), QByteArray("mine")},
        {QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n-pixels-", 16)},
    };
}

// Short bounds so the tests run fast; a fallback long enough that reaching it
// would be noticed.
PasteTiming quickTiming()
{
    PasteTiming timing;
    timing.stepTimeout = 1.0;
    timing.readyDelay = 0.0;
    timing.restoreDelay = 0.0;
    timing.fetchSettle = 0.005;
    timing.fetchFallback = 30.0;
    timing.heldChordGrace = 0.05;
    return timing;
}

class TextInserterTest : public ::testing::Test {
protected:
    std::shared_ptr<FakePasteboard> board = std::make_shared<FakePasteboard>(richContents());
    std::shared_ptr<FakeKeySynthesizer> keys = std::make_shared<FakeKeySynthesizer>();
};

} // namespace

TEST_F(TextInserterTest, PastesTheTextThenPutsEveryFormatBackAfterTheTargetFetched)
{
    QString seenAtChord;
    keys->setOnChord([&] {
        seenAtChord = board->text();
        board->simulateFetch();
    });
    TextInserter inserter(board, keys, quickTiming());
    inserter.paste(QStringLiteral("hello "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));

    EXPECT_EQ(keys->chordCount(), 1);
    EXPECT_EQ(seenAtChord, QStringLiteral("hello "));
    EXPECT_EQ(board->contents(), richContents());
    EXPECT_EQ(board->callsOffMainThread(), 0);
}

TEST_F(TextInserterTest, RestoreWaitsForTheTargetsRequestOrTheFallback)
{
    LogCapture log;
    TextInserter inserter(board, keys, quickTiming());
    inserter.paste(QStringLiteral("slow target "));
    ASSERT_TRUE(pumpUntil([&] { return keys->chordCount() == 1; }));
    // The target has not asked yet: our text must still be there for it.
    pumpFor(100);
    EXPECT_EQ(board->restoreCount(), 0);
    EXPECT_EQ(board->text(), QStringLiteral("slow target "));

    board->simulateFetch();
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(board->contents(), richContents());

    // A target that never asks: the fallback still brings the clipboard back.
    PasteTiming shortFallback = quickTiming();
    shortFallback.fetchFallback = 0.05;
    TextInserter impatient(board, keys, shortFallback);
    impatient.paste(QStringLiteral("ignored "));
    ASSERT_TRUE(pumpUntil([&] { return impatient.isIdle(); }));
    EXPECT_EQ(board->contents(), richContents());
    EXPECT_EQ(log.systemLines().filter(unaskedLine).size(), 1);

    // Owed to the target, the text outlives the fallback: the delivery
    // tells when it has waited long enough.
    auto delivery = std::make_shared<FakePasteDelivery>();
    TextInserter owing(board, keys, shortFallback, {}, {}, delivery);
    owing.paste(QStringLiteral("owed "));
    ASSERT_TRUE(pumpUntil([&] { return owing.isIdle(); }));
    EXPECT_EQ(board->contents(), richContents());
    EXPECT_EQ(delivery->deliveries(), Owed({{QStringLiteral("owed "), false}}));
    EXPECT_EQ(log.systemLines().filter(unaskedLine).size(), 1);
}

// A target that asks with a request the clipboard would refuse is answered
// by the delivery, which must know the text before the chord goes; its
// request lets the user's clipboard come back as one the clipboard answered.
TEST_F(TextInserterTest, TheTextIsOwedToTheTargetBeforeTheChordAndItsRequestsThereCount)
{
    auto delivery = std::make_shared<FakePasteDelivery>();
    Owed owedAtChord;
    keys->setOnChord([&] {
        owedAtChord = delivery->deliveries();
        delivery->simulateFetch(PasteDelivery::Selection::clipboard);
    });
    TextInserter inserter(board, keys, quickTiming(), {}, {}, delivery);
    inserter.paste(QStringLiteral("owed "));
    // Well before the fallback of 30 s.
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(owedAtChord, Owed({{QStringLiteral("owed "), false}}));
    EXPECT_EQ(board->contents(), richContents());
    EXPECT_EQ(delivery->withdrawals(), 0);
    EXPECT_EQ(delivery->callsOffMainThread(), 0);
}

TEST_F(TextInserterTest, EmptyClipboardComesBackEmptyAndUnreadableOneKeepsTheText)
{
    keys->setOnChord([&] { board->simulateFetch(); });
    {
        board->replaceContents({});
        TextInserter inserter(board, keys, quickTiming());
        inserter.paste(QStringLiteral("one "));
        ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
        EXPECT_EQ(board->contents(), PasteboardContents{});
        EXPECT_EQ(board->restoreCount(), 1);
    }
    {
        board->setReadable(false);
        TextInserter inserter(board, keys, quickTiming());
        inserter.paste(QStringLiteral("two "));
        ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
        EXPECT_EQ(keys->chordCount(), 2);
        EXPECT_EQ(board->restoreCount(), 1);
        EXPECT_EQ(board->text(), QStringLiteral("two "));
    }
}

TEST_F(TextInserterTest, SomethingCopiedDuringThePasteIsNotOverwritten)
{
    const PasteboardContents copiedMeanwhile = {{QStringLiteral("text/plain"), QByteArray("new copy")}};
    keys->setOnChord([&] {
        board->simulateFetch();
        board->replaceContents(copiedMeanwhile);
    });
    TextInserter inserter(board, keys, quickTiming());
    inserter.paste(QStringLiteral("dictated "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(board->contents(), copiedMeanwhile);
}

TEST_F(TextInserterTest, TwoClosePastesNeverSaveEachOthersText)
{
    QStringList seenAtChords;
    keys->setOnChord([&] {
        seenAtChords << board->text();
        board->simulateFetch();
    });
    TextInserter inserter(board, keys, quickTiming());
    inserter.paste(QStringLiteral("first "));
    inserter.paste(QStringLiteral("second "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));

    EXPECT_EQ(seenAtChords, QStringList({QStringLiteral("first "), QStringLiteral("second ")}));
    EXPECT_EQ(board->copiesStarted(), 2);
    EXPECT_EQ(board->readsOfPastedText(), 0);
    EXPECT_EQ(board->contents(), richContents());
}

// The user presses push-to-talk just as the chord goes out: our own grab may
// take it. Once the keys are up the chord goes again, unless the target
// asked for the text meanwhile; the next dictation's text waits behind.
TEST_F(TextInserterTest, AChordThatWentOutAsAShortcutWentDownGoesAgainOnlyIfTheTargetNeverAskedForTheText)
{
    LogCapture log;
    for (const bool targetAsked : {false, true}) {
        QStringList seenAtChords;
        keys->setOnChord([&] {
            seenAtChords << board->text();
            if (seenAtChords.size() == 1)
                keys->setShortcutHeld(true);
            if (seenAtChords.size() > 1 || targetAsked)
                board->simulateFetch();
        });
        TextInserter inserter(board, keys, quickTiming());
        inserter.paste(QStringLiteral("first "));
        inserter.paste(QStringLiteral("second "));
        ASSERT_TRUE(pumpUntil([&] { return keys->chordCount() > 0; }));
        pumpFor(200);
        EXPECT_EQ(keys->chordCount(), 1) << "nothing goes out while the key is held";
        if (!targetAsked) {
            EXPECT_EQ(board->text(), QStringLiteral("first ")) << "the text stays for the chord to come";
        }

        keys->setShortcutHeld(false);
        ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
        const QStringList expected = targetAsked
            ? QStringList{QStringLiteral("first "), QStringLiteral("second ")}
            : QStringList{QStringLiteral("first "), QStringLiteral("first "), QStringLiteral("second ")};
        EXPECT_EQ(seenAtChords, expected);
        EXPECT_EQ(board->contents(), richContents());
        keys = std::make_shared<FakeKeySynthesizer>();
    }
    EXPECT_EQ(log.systemLines().filter(QStringLiteral("sending it again")).size(), 1);
}

// Copied during the hold, the user's new clipboard is theirs: a second chord
// would paste it into the target.
TEST_F(TextInserterTest, NoSecondChordOnceTheUserCopiedSomethingElse)
{
    const PasteboardContents copiedMeanwhile = {{QStringLiteral("text/plain"), QByteArray("new copy")}};
    keys->setOnChord([&] { keys->setShortcutHeld(true); });
    TextInserter inserter(board, keys, quickTiming());
    inserter.paste(QStringLiteral("dictated "));
    ASSERT_TRUE(pumpUntil([&] { return keys->chordCount() == 1; }));
    board->replaceContents(copiedMeanwhile);
    keys->setShortcutHeld(false);
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(keys->chordCount(), 1);
    EXPECT_EQ(board->contents(), copiedMeanwhile);
}

// Quitting while the user holds a shortcut: the paste that waits for the
// release is given up rather than holding the quit. One whose text is on
// the clipboard already, its chord taken by our grab and waiting to go
// again, gives the user's clipboard back at the quit and sends nothing more.
TEST_F(TextInserterTest, ClosingWhileAShortcutKeyIsHeldSkipsThePasteItWaitsFor)
{
    LogCapture log;
    keys->setShortcutHeld(true);
    {
        TextInserter inserter(board, keys, quickTiming());
        inserter.paste(QStringLiteral("never typed "));
        pumpFor(50);
    }
    EXPECT_EQ(keys->chordCount(), 0);
    EXPECT_TRUE(board->textsSet().empty());
    EXPECT_TRUE(
        log.hasSystemLine(QStringLiteral("[TextInserter] Closing while a key holds the paste up; paste skipped")));

    keys->setShortcutHeld(false);
    keys->setOnChord([&] { keys->setShortcutHeld(true); });
    TextInserter inserter(board, keys, quickTiming());
    inserter.paste(QStringLiteral("taken by the grab "));
    ASSERT_TRUE(pumpUntil([&] { return keys->chordCount() == 1; }));
    inserter.quit();
    EXPECT_EQ(board->contents(), richContents()) << "the user's clipboard is back before the process ends";
    keys->setShortcutHeld(false);
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(keys->chordCount(), 1);
    EXPECT_EQ(board->restoreCount(), 1);
    inserter.paste(QStringLiteral("after the quit "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(keys->chordCount(), 1);
    EXPECT_EQ(board->textsSet().size(), 1u);
}

// A key that never comes up while no shortcut of ours is held: a modifier a
// remote-desktop viewer left down, a shortcut's key without our grab. Each
// costs the bound once, carried from the wait before the clipboard to the
// one at the chord and on to later pastes; it is named once, a stuck
// modifier is released for the chord, and every text goes out in turn.
TEST_F(TextInserterTest, KeysLeftDownHoldThePastesUpForTheBoundOnce)
{
    LogCapture log;
    const DownKey altR{108, QStringLiteral("Alt_R")};
    const DownKey w{25, QStringLiteral("w")};
    keys->press(altR);
    keys->press(w, false);
    QStringList seenAtChords;
    keys->setOnChord([&] {
        seenAtChords << board->text();
        board->simulateFetch();
    });
    PasteTiming timing = quickTiming();
    timing.strayKeyBound = 0.2;
    TextInserter inserter(board, keys, timing);
    inserter.paste(QStringLiteral("first "));
    inserter.paste(QStringLiteral("second "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));

    EXPECT_EQ(seenAtChords, QStringList({QStringLiteral("first "), QStringLiteral("second ")}));
    EXPECT_EQ(keys->releasedKeys(), std::vector<DownKey>{altR});
    const QStringList named = log.systemLines().filter(QStringLiteral("taken as stuck"));
    EXPECT_EQ(named.size(), 2) << named.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(named.filter(QStringLiteral("] Alt_R has been down")).size(), 1);
    EXPECT_EQ(named.filter(QStringLiteral("] w has been down")).size(), 1);
    EXPECT_EQ(board->contents(), richContents());
}

TEST_F(TextInserterTest, NoChordWhenTheTextNeverReachedTheClipboard)
{
    LogCapture log;
    board->setRefusesText(true);
    TextInserter inserter(board, keys, quickTiming());
    inserter.paste(QStringLiteral("private? "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(keys->chordCount(), 0);
    EXPECT_EQ(board->contents(), richContents());
    EXPECT_TRUE(log.hasSystemLine(skippedLine));
}

TEST_F(TextInserterTest, BlockedMainThreadMeansNoChordAndTheClipboardIsLeftAlone)
{
    LogCapture log;
    PasteTiming timing = quickTiming();
    timing.stepTimeout = 0.05;
    TextInserter inserter(board, keys, timing);
    inserter.paste(QStringLiteral("late "));

    // The main thread stays busy until both clipboard waits have run out.
    QDeadlineTimer deadline(10000);
    while (!log.hasSystemLine(skippedLine) && !deadline.hasExpired())
        QThread::msleep(5);
    ASSERT_TRUE(log.hasSystemLine(skippedLine));
    EXPECT_EQ(keys->chordCount(), 0);

    // Once free, the late save runs, but the paste gave up: its text must not
    // replace the user's clipboard, which nothing would put back.
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle() && board->copiesStarted() == 1; }));
    Dispatch::drainMainQueue();
    EXPECT_TRUE(board->textsSet().empty());
    EXPECT_EQ(board->contents(), richContents());
    EXPECT_EQ(board->restoreCount(), 0);
    EXPECT_EQ(keys->chordCount(), 0);
}

TEST_F(TextInserterTest, SlowCopyOfTheUsersClipboardIsAwaitedNotDropped)
{
    keys->setOnChord([&] { board->simulateFetch(); });
    board->setReadDelay(0.3);
    PasteTiming timing = quickTiming();
    timing.stepTimeout = 0.05;
    TextInserter inserter(board, keys, timing);
    inserter.paste(QStringLiteral("over a photo "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(keys->chordCount(), 1);
    EXPECT_EQ(board->contents(), richContents());
}

TEST_F(TextInserterTest, FailedChordStillRestoresWithoutWaitingForAFetch)
{
    keys->setSucceeds(false);
    auto delivery = std::make_shared<FakePasteDelivery>();
    TextInserter inserter(board, keys, quickTiming(), {}, {}, delivery);
    inserter.paste(QStringLiteral("nowhere "));
    // With a 30 s fallback this only finishes because no fetch is awaited.
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(board->contents(), richContents());
    // The focused program's own paste must get the user's clipboard.
    EXPECT_EQ(delivery->withdrawals(), 1);
}

// An owner that is slow to hand over its own formats: text and images are
// copied first, the copy stops at the budget, and the paste still happens.
TEST_F(TextInserterTest, SlowOwnerFormatsAreLeftOutAtTheBudgetAndNamed)
{
    LogCapture log;
    const PasteboardContents offered = {
        {QStringLiteral("application/x-office-1"), QByteArray("one")},
        {QStringLiteral("application/x-office-2"), QByteArray("two")},
        {QStringLiteral("text/plain"), QByteArray("mine")},
        {QStringLiteral("image/png"), QByteArray("\x89PNG", 4)},
    };
    board->replaceContents(offered);
    board->setReadDelay(0.4, QStringLiteral("application/x-office-1"));
    board->setReadDelay(0.4, QStringLiteral("application/x-office-2"));
    keys->setOnChord([&] { board->simulateFetch(); });
    PasteTiming timing = quickTiming();
    timing.copyBudget = 0.2;
    TextInserter inserter(board, keys, timing);
    inserter.paste(QStringLiteral("quick "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));

    EXPECT_EQ(keys->chordCount(), 1);
    EXPECT_EQ(board->contents(), PasteboardContents({offered[0], offered[2], offered[3]}));
    EXPECT_TRUE(log.hasSystemLine(
        QStringLiteral("[TextInserter] Clipboard owner too slow; not restored: application/x-office-2")));
}

// Each format waits for its owner: the main event loop (the tray, the
// indicator) must get its turn between them, not only after the whole copy.
TEST_F(TextInserterTest, MainLoopRunsBetweenTheReadsOfACopy)
{
    keys->setOnChord([&] { board->simulateFetch(); });
    board->setReadDelay(0.1);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QList<int> ticksAtRead;
    board->setOnRead([&](const QString&) { ticksAtRead << ticks; });

    TextInserter inserter(board, keys, quickTiming());
    inserter.paste(QStringLiteral("live "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    ASSERT_EQ(ticksAtRead.size(), 3);
    EXPECT_LT(ticksAtRead.first(), ticksAtRead.last());
    EXPECT_EQ(board->contents(), richContents());
}

namespace {

// A terminal that pastes the PRIMARY selection: the user's selection is kept
// in a board of its own.
class PrimarySelectionPasteTest : public TextInserterTest {
protected:
    PrimarySelectionPasteTest() { keys->setFocusedChord(PasteChord::shiftInsert); }

    static PasteboardContents selectedText() { return {{QStringLiteral("text/plain"), QByteArray("selected")}}; }

    std::shared_ptr<FakePasteboard> primary = std::make_shared<FakePasteboard>(selectedText());
};

} // namespace

// The terminal's request may reach PRIMARY or the delivery.
TEST_F(PrimarySelectionPasteTest, BothSelectionsHoldTheTextAtTheChordAndComeBackAfterTheTargetReadPrimary)
{
    for (const bool throughDelivery : {false, true}) {
        auto delivery = std::make_shared<FakePasteDelivery>();
        QStringList seenAtChord;
        std::atomic<bool> chordSeen = false;
        keys->setOnChord([&] {
            seenAtChord << board->text() << primary->text();
            chordSeen = true;
        });
        TextInserter inserter(board, keys, quickTiming(), {}, primary, delivery);
        inserter.paste(QStringLiteral("ls "));
        ASSERT_TRUE(pumpUntil([&] { return chordSeen.load(); }));
        EXPECT_EQ(keys->lastChord(), PasteChord::shiftInsert);
        EXPECT_EQ(seenAtChord, QStringList({QStringLiteral("ls "), QStringLiteral("ls ")}));
        EXPECT_EQ(delivery->deliveries(), Owed({{QStringLiteral("ls "), true}}));

        // The terminal reads PRIMARY: a request for CLIPBOARD is not the one
        // that lets the selections go back.
        board->simulateFetch();
        delivery->simulateFetch(PasteDelivery::Selection::clipboard);
        pumpFor(100);
        EXPECT_EQ(primary->text(), QStringLiteral("ls "));
        if (throughDelivery)
            delivery->simulateFetch(PasteDelivery::Selection::primary);
        else
            primary->simulateFetch();
        ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
        EXPECT_EQ(board->contents(), richContents());
        EXPECT_EQ(primary->contents(), selectedText());
        EXPECT_EQ(primary->callsOffMainThread(), 0);
    }
}

TEST_F(PrimarySelectionPasteTest, OtherChordsLeavePrimaryAlone)
{
    for (PasteChord chord : {PasteChord::controlV, PasteChord::controlShiftV}) {
        keys->setFocusedChord(chord);
        keys->setOnChord([&] { board->simulateFetch(); });
        TextInserter inserter(board, keys, quickTiming(), {}, primary);
        inserter.paste(QStringLiteral("text "));
        ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
        EXPECT_EQ(keys->lastChord(), chord);
    }
    EXPECT_EQ(primary->copiesStarted(), 0);
    EXPECT_TRUE(primary->textsSet().empty());
    EXPECT_EQ(board->contents(), richContents());
}

// Shift+Insert would paste the user's own selection into the terminal: no
// chord, and the clipboard that did take the text is given back.
TEST_F(PrimarySelectionPasteTest, PrimaryRefusingTheTextMeansNoChordAndTheClipboardComesBack)
{
    LogCapture log;
    primary->setRefusesText(true);
    TextInserter inserter(board, keys, quickTiming(), {}, primary);
    inserter.paste(QStringLiteral("secret? "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(keys->chordCount(), 0);
    EXPECT_TRUE(log.hasSystemLine(skippedLine));
    EXPECT_EQ(board->contents(), richContents());
    EXPECT_EQ(primary->contents(), selectedText());
}
