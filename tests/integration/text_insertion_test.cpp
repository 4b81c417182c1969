#include "core/input/ClipboardCopy.h"
#include "core/input/TextInsertion.h"
#include "integration/ControllerOnRealTap.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/x11/X11HotkeyTap.h"
#include "platform/x11/X11KeyCodes.h"
#include "platform/x11/X11KeySynthesizer.h"
#include "platform/x11/X11PasteDelivery.h"
#include "support/EventLoop.h"
#include "support/LogCapture.h"
#include "support/PasteTarget.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/XTestKeyboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>

#include <atomic>
#include <cstdio>
#include <functional>

namespace {

QByteArray expectedUserClipboard()
{
    return "clipboard " + QByteArray("user text").toBase64() + " 8x8 #ff0000";
}

// The image the slow clipboard owner offers.
QByteArray slowOwnerPng()
{
    return QByteArray("\x89PNG\r\n\x1a\nnot really pixels", 25);
}

// The user's clipboard as a paste copies it, in one go and without a budget.
std::optional<PasteboardContents> copyNow(std::shared_ptr<Pasteboard> board)
{
    auto copy = std::make_shared<ClipboardCopy>(std::move(board), 60.0);
    copy->finishAndClose();
    return copy->contents();
}

// Once another application has copied, we no longer hold the clipboard: a
// copy taken before we noticed would read what we last put there.
bool clipboardTakenByAnother()
{
    return pumpUntil([] { return !QGuiApplication::clipboard()->ownsClipboard(); });
}

// A Qt line edit in a window that has the keyboard focus.
bool startFocusedQtTarget(PasteTarget& target)
{
    return target.start(testToolPath(QStringLiteral("paste_target_qt"))) && target.activate();
}

// The same in GTK; `options` go to tests/tools/paste_target_gtk.py.
bool startFocusedGtkTarget(PasteTarget& target, const QStringList& options = {})
{
    const QString script =
        qEnvironmentVariable("TALLOWIND_SOURCE_DIR") + QStringLiteral("/tests/tools/paste_target_gtk.py");
    // The distribution's interpreter: python3-gi is installed for it, not
    // for another python3 that may come first on PATH.
    return target.start(QStringLiteral("/usr/bin/python3"), QStringList{script} + options) && target.activate();
}

constexpr unsigned int shiftMask = 1;

class PasteIntoOtherApplications : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs an X display";
    }

    // Pastes and waits until the user's clipboard is back; prints how long it took.
    void pasteAndWait(const QString& text)
    {
        QElapsedTimer clock;
        clock.start();
        inserter.paste(text);
        ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
        std::printf("paste of %lld characters took %lld ms until the clipboard was restored\n",
            static_cast<long long>(text.size()), static_cast<long long>(clock.elapsed()));
    }

    std::shared_ptr<QtPasteboard> board = std::make_shared<QtPasteboard>();
    std::shared_ptr<X11KeySynthesizer> keys = std::make_shared<X11KeySynthesizer>();
    std::shared_ptr<X11PasteDelivery> delivery = std::make_shared<X11PasteDelivery>();
    TextInserter inserter{board, keys, PasteTiming{}, {}, {}, delivery};
};

} // namespace

TEST_F(PasteIntoOtherApplications, QtLineEditGetsTheTextAndTheUsersTextAndImageComeBack)
{
    PasteTarget target;
    ASSERT_TRUE(target.start(testToolPath(QStringLiteral("paste_target_qt"))));
    // The user's clipboard belongs to another application, as it usually does.
    ASSERT_FALSE(target.ask("copy", "copied").isEmpty());
    ASSERT_TRUE(target.activate());

    const QString text = QString::fromUtf8("Grüße aus Köln, 42 € 👋 ");
    pasteAndWait(text);
    EXPECT_EQ(target.text(), text);
    EXPECT_EQ(target.ask("clipboard", "clipboard "), expectedUserClipboard());

    // A second dictation right after the first lands behind it, and the
    // clipboard is still the user's afterwards.
    inserter.paste(QStringLiteral("one "));
    inserter.paste(QStringLiteral("two "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(target.text(), text + QStringLiteral("one two "));
    EXPECT_EQ(target.ask("clipboard", "clipboard "), expectedUserClipboard());
}

// Another client pressed Alt_R and never let go, as a remote-desktop viewer
// that missed the release does. With no shortcut of ours held the text waits
// for the bound only, the key is named and released for the chord (never
// pressed again from here). When the user then holds Alt_R as the next texts
// arrive, that is a new press: waited for the bound and named again, not let
// go of at once; the texts go out in order, each once.
TEST_F(PasteIntoOtherApplications, AKeyLeftDownByAnotherClientHoldsTheTextsUpForTheBoundOnly)
{
    PasteTarget target;
    ASSERT_TRUE(startFocusedQtTarget(target));
    LogCapture log;
    XTestKeyboard otherClient;
    otherClient.press("Alt_R");
    PasteTiming timing;
    timing.strayKeyBound = 1.0;
    TextInserter bounded{board, keys, timing, [] {
                             return ShortcutKeys{{{13, X11KeyCodes::flagOption}}, [] { return false; }};
                         }};

    bounded.paste(QStringLiteral("first "));
    ASSERT_TRUE(pumpUntil([&] { return bounded.isIdle(); }, Patience::reply));
    EXPECT_EQ(target.text(), QStringLiteral("first "));
    const QStringList named = log.systemLines().filter(QStringLiteral("taken as stuck"));
    ASSERT_EQ(named.size(), 1) << named.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(named[0].contains(QStringLiteral("Alt_R"))) << named[0].toStdString();
    XTestKeyboard user;
    EXPECT_FALSE(user.isDown("Alt_R")) << "the chord left Alt pressed on the other client's behalf";

    user.press("Alt_R");
    QElapsedTimer held;
    held.start();
    bounded.paste(QStringLiteral("second "));
    bounded.paste(QStringLiteral("third "));
    ASSERT_TRUE(pumpUntil([&] { return bounded.isIdle(); }, Patience::reply));
    EXPECT_GE(held.elapsed(), 1000) << "the user's Alt was let go of before the bound";
    EXPECT_EQ(target.text(), QStringLiteral("first second third "));
    EXPECT_EQ(log.systemLines().filter(QStringLiteral("] Alt_R has been down")).size(), 2);
}

// The user holds Left Ctrl as the text arrives: the chord has a Control of
// its own, so letting go of Left Ctrl just before the V takes nothing from
// it, and a Left Ctrl still held stays down, so Ctrl+A then selects all (the
// next letter replaces the whole text) rather than typing an "a". Both Ctrl
// keys held stay down too.
TEST_F(PasteIntoOtherApplications, TheChordHasAControlOfItsOwnAndLeavesTheUsersDown)
{
    PasteTarget target;
    ASSERT_TRUE(startFocusedQtTarget(target));
    XTestKeyboard user;
    user.press("Control_L");
    keys->setBeforeChord(user.releaseOnce("Control_L"));
    pasteAndWait(QStringLiteral("let go "));
    EXPECT_EQ(target.text(), QStringLiteral("let go ")) << "the chord went out without Ctrl";
    keys->setBeforeChord({});

    user.press("Control_L");
    user.press("Control_R");
    pasteAndWait(QStringLiteral("both "));
    EXPECT_TRUE(user.isDown("Control_L") && user.isDown("Control_R")) << "the chord let go of the user's Ctrl";
    user.release("Control_R");

    pasteAndWait(QStringLiteral("held ctrl "));
    EXPECT_EQ(target.text(), QStringLiteral("let go both held ctrl "));
    EXPECT_TRUE(user.isDown("Control_L")) << "the chord let go of the user's Ctrl";
    EXPECT_FALSE(user.isDown("Control_R")) << "the chord left its own Ctrl down";
    user.tap("a");
    user.release("Control_L");
    user.tap("x");
    EXPECT_TRUE(pumpUntil([&] { return target.text() == QStringLiteral("x"); })) << target.text().toStdString();
}

// AltGr held as the text arrives would turn the chord into another one: the
// paste waits for it and never lets go of it on the user's behalf, for the
// five seconds the user holds it here; then the text goes out.
TEST_F(PasteIntoOtherApplications, AHeldAltGrIsWaitedForAndNeverReleased)
{
    PasteTarget target;
    ASSERT_TRUE(startFocusedQtTarget(target));
    XTestKeyboard user;
    user.press("ISO_Level3_Shift");
    ASSERT_TRUE(user.isDown("ISO_Level3_Shift"));
    inserter.paste(QStringLiteral("after altgr "));
    QElapsedTimer held;
    held.start();
    bool stayedDown = true;
    while (held.elapsed() < 5000) {
        pumpFor(20);
        stayedDown = stayedDown && user.isDown("ISO_Level3_Shift");
    }
    EXPECT_TRUE(stayedDown) << "AltGr was released on the user's behalf";
    EXPECT_EQ(target.text(), QString());
    user.release("ISO_Level3_Shift");
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(target.text(), QStringLiteral("after altgr "));
}

// Layouts switched by modifier keys: at some level a Ctrl or Shift key is a
// layout switch. The user holds Left Ctrl as each text arrives, in either
// layout: the chord switches nothing, and the text arrives whole.
TEST_F(PasteIntoOtherApplications, NoLayoutSwitchOptionTakesTheChordForASwitch)
{
    XTestKeyboard user;
    PasteTarget target;
    ASSERT_TRUE(startFocusedQtTarget(target));
    QString expected;
    const QStringList changed = user.pasteUnderEachLayoutSwitch("Control_L", [&](const QString& text) {
        pasteAndWait(text);
        expected += text;
        EXPECT_EQ(target.text().toStdString(), expected.toStdString());
    });
    EXPECT_TRUE(changed.isEmpty()) << changed.join('\n').toStdString();
}

// Another client (a remote-desktop viewer) left Control_L down on XTest's
// keyboard; the user freed it by pressing and letting go of their own. The
// keyboard shows Ctrl up while XTest's device still counts it down, and a
// press of it there would be dropped: the chord's Ctrl takes hold regardless,
// as it does with a modifier map that gives Control no key.
TEST_F(PasteIntoOtherApplications, AControlLeftDownOnXTestsKeyboardTakesNothingFromTheChord)
{
    PasteTarget target;
    ASSERT_TRUE(startFocusedGtkTarget(target));
    XTestKeyboard otherClient;
    otherClient.press("Control_L");
    XTestKeyboard user;
    user.pressOnKeyboardDevice("Control_L");
    user.releaseOnKeyboardDevice("Control_L");
    ASSERT_FALSE(user.isDown("Control_L"));

    pasteAndWait(QStringLiteral("all of it "));
    EXPECT_EQ(target.text().toStdString(), "all of it ");
    otherClient.release("Control_L");

    // Nor does the chord need a key for its Control at all.
    ASSERT_TRUE(user.clearControlKeys());
    pasteAndWait(QStringLiteral("and more "));
    EXPECT_EQ(target.text().toStdString(), "all of it and more ");
}

TEST_F(PasteIntoOtherApplications, GtkEntryGetsTheTextAndReadsTheRestoredClipboard)
{
    PasteTarget owner;
    ASSERT_TRUE(owner.start(testToolPath(QStringLiteral("paste_target_qt"))));
    ASSERT_FALSE(owner.ask("copy", "copied").isEmpty());
    ASSERT_TRUE(clipboardTakenByAnother());

    PasteTarget target;
    ASSERT_TRUE(startFocusedGtkTarget(target));

    const QString text = QString::fromUtf8("Ça marche très bien ✓ ");
    pasteAndWait(text);
    EXPECT_EQ(target.text(), text);
    EXPECT_EQ(target.ask("clipboard", "clipboard "), expectedUserClipboard());
}

// An input method that hands key presses on with the time of the first one
// it handled makes its program ask for the clipboard with a time from before
// the tool took it, which the selection rules refuse. The program the paste
// went to gets each text all the same.
TEST_F(PasteIntoOtherApplications, ATargetWhoseRequestsAreDatedBackGetsEveryText)
{
    PasteTarget target;
    ASSERT_TRUE(startFocusedGtkTarget(target, {QStringLiteral("--date-keys-back")}));
    QString expected;
    for (const QString& text : {QStringLiteral("one "), QStringLiteral("two "), QStringLiteral("three ")}) {
        pasteAndWait(text);
        expected += text;
        EXPECT_TRUE(pumpUntil([&] { return target.text() == expected; })) << target.text().toStdString();
    }
}

// A target busy as the chord arrives asks for the text only after the paste
// gave the user's clipboard back: it gets the text, not the user's earlier
// clipboard, while another program asking meanwhile gets the user's. Given
// back empty, the clipboard still reaches the target.
TEST_F(PasteIntoOtherApplications, ATargetThatAsksAfterTheClipboardCameBackGetsTheText)
{
    PasteTarget owner;
    ASSERT_TRUE(owner.start(testToolPath(QStringLiteral("paste_target_qt"))));
    for (const bool userCopied : {false, true}) {
        if (userCopied) {
            ASSERT_FALSE(owner.ask("copy", "copied").isEmpty());
            ASSERT_TRUE(clipboardTakenByAnother());
        }
        PasteTarget target;
        ASSERT_TRUE(startFocusedGtkTarget(target));
        ASSERT_TRUE(target.pause());
        const QString text = QStringLiteral("late but mine ");
        pasteAndWait(text);
        EXPECT_EQ(owner.ask("clipboard", "clipboard "), userCopied ? expectedUserClipboard() : "clipboard  none none");
        target.resume();
        EXPECT_TRUE(pumpUntil([&] { return target.text() == text; })) << target.text().toStdString();
    }
}

// A text its target never asked for is named in the log once: when the next
// paste takes its place, or when the bound has passed.
TEST_F(PasteIntoOtherApplications, ATextTheTargetNeverAskedForIsNamedOnce)
{
    PasteTarget target;
    ASSERT_TRUE(startFocusedGtkTarget(target));
    ASSERT_TRUE(target.pause());
    LogCapture log;
    const auto named = [&](const char* words) { return log.systemLines().filter(QLatin1String(words)).size(); };
    PasteTiming quickFallback;
    quickFallback.fetchFallback = 0.1;
    {
        auto owing = std::make_shared<X11PasteDelivery>();
        TextInserter twice{board, keys, quickFallback, {}, {}, owing};
        twice.paste(QStringLiteral("first "));
        twice.paste(QStringLiteral("second "));
        ASSERT_TRUE(pumpUntil([&] { return twice.isIdle(); }));
        EXPECT_TRUE(owing->owes());
    }
    EXPECT_EQ(named("when the next one was pasted"), 1);

    auto brief = std::make_shared<X11PasteDelivery>(X11PasteDelivery::Bounds{std::chrono::milliseconds(300)});
    TextInserter once{board, keys, quickFallback, {}, {}, brief};
    once.paste(QStringLiteral("third "));
    ASSERT_TRUE(pumpUntil([&] { return named("did not ask for it within") > 0 && once.isIdle(); }));
    EXPECT_FALSE(brief->owes());
    EXPECT_EQ(named("did not ask for it within"), 1);
    EXPECT_EQ(named("when the next one was pasted"), 1);
    EXPECT_EQ(named("No program asked"), 0) << "the delivery names it, not the paste";
}

TEST_F(PasteIntoOtherApplications, LargeImageOnTheClipboardComesBack)
{
    PasteTarget target;
    ASSERT_TRUE(target.start(testToolPath(QStringLiteral("paste_target_qt"))));
    ASSERT_FALSE(target.ask("copy large", "copied").isEmpty());
    ASSERT_TRUE(target.activate());

    QElapsedTimer clock;
    clock.start();
    const auto saved = copyNow(board);
    ASSERT_TRUE(saved.has_value());
    qint64 bytes = 0;
    QStringList formats;
    for (const auto& [format, data] : *saved) {
        bytes += data.size();
        formats << format;
    }
    std::printf("copy of a 2048x2048 image: %lld ms, %lld bytes in %lld formats (%s)\n",
        static_cast<long long>(clock.elapsed()), static_cast<long long>(bytes), static_cast<long long>(saved->size()),
        qPrintable(formats.join(QLatin1Char(' '))));

    pasteAndWait(QStringLiteral("over a photo "));
    EXPECT_EQ(target.text(), QStringLiteral("over a photo "));
    EXPECT_EQ(target.ask("clipboard", "clipboard "),
        "clipboard " + QByteArray("user text").toBase64() + " 2048x2048 #ff0000");
}

// An owner that takes half the copy budget per format: the paste still goes
// through in a few seconds, with the user's text and image back and the rest
// left out. The image's read starts after one delay and the next read after
// two, so the budget ends between them with room for a loaded machine.
TEST_F(PasteIntoOtherApplications, SlowClipboardOwnerDoesNotHoldUpThePaste)
{
    const int delayMs = static_cast<int>(PasteTiming{}.copyBudget * 1000 / 2);
    PasteTarget owner;
    ASSERT_TRUE(owner.start(testToolPath(QStringLiteral("slow_clipboard_owner")), {"15", QString::number(delayMs)}));
    ASSERT_FALSE(owner.ask("copy", "copied").isEmpty());
    ASSERT_TRUE(clipboardTakenByAnother());
    PasteTarget target;
    ASSERT_TRUE(startFocusedQtTarget(target));

    inserter.paste(QStringLiteral("despite a slow owner "));
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }, Patience::reply));
    EXPECT_EQ(target.text(), QStringLiteral("despite a slow owner "));
    EXPECT_EQ(owner.ask("clipboard", "clipboard "),
        "clipboard " + QByteArray("user text").toBase64() + ' ' + slowOwnerPng().toBase64());
    EXPECT_EQ(owner.ask("formats", "formats ").toStdString(), "formats text/plain,image/png");
}

// Qt derives image formats of its own from any image it reads; the restored
// clipboard offers only what the owner offered.
TEST_F(PasteIntoOtherApplications, RestoreOffersExactlyTheOwnersFormats)
{
    PasteTarget owner;
    ASSERT_TRUE(owner.start(testToolPath(QStringLiteral("slow_clipboard_owner")), {"2", "0"}));
    ASSERT_FALSE(owner.ask("copy", "copied").isEmpty());
    ASSERT_TRUE(clipboardTakenByAnother());
    const std::string offered = owner.ask("formats", "formats ").toStdString();
    ASSERT_EQ(offered, "formats application/x-slow-format-0,application/x-slow-format-1,text/plain,image/png");

    const auto saved = copyNow(board);
    ASSERT_TRUE(saved.has_value());
    ASSERT_TRUE(board->setText(QStringLiteral("dictated ")));
    board->restore(*saved);
    EXPECT_EQ(owner.ask("formats", "formats ").toStdString(), offered);
    EXPECT_EQ(owner.ask("clipboard", "clipboard "),
        "clipboard " + QByteArray("user text").toBase64() + ' ' + slowOwnerPng().toBase64());
}

// A transcription finishes while the user already holds push-to-talk again:
// our own grab would take the chord. The paste waits for the release, and
// nothing of ours reaches the tap as if the user had let go.
TEST_F(PasteIntoOtherApplications, PasteWaitsWhileTheShortcutIsHeld)
{
    PasteTarget target;
    ASSERT_TRUE(startFocusedQtTarget(target));
    auto tap = std::make_shared<X11HotkeyTap>();
    std::vector<HotkeyEvent> events;
    ASSERT_TRUE(tap->create({{13, X11KeyCodes::flagOption}}, [&](const HotkeyEvent& event) {
        events.push_back(event);
        return HotkeyTap::Disposition::swallow;
    }));
    TextInserter gated{
        board, keys, PasteTiming{}, [tap] {
            return ShortcutKeys{{{13, X11KeyCodes::flagOption}}, [tap] { return tap->isShortcutKeyHeld(); }};
        }};

    XTestKeyboard keyboard;
    keyboard.press("Alt_L");
    keyboard.press("w");
    ASSERT_TRUE(pumpUntil([&] { return !events.empty(); }));
    gated.paste(QStringLiteral("after release "));
    pumpFor(800);
    EXPECT_EQ(target.text(), QString());
    for (const HotkeyEvent& event : events)
        EXPECT_EQ(event.type, HotkeyEvent::Type::keyDown) << "the tap saw only the user's press and its repeats";

    keyboard.release("w");
    keyboard.release("Alt_L");
    ASSERT_TRUE(pumpUntil([&] { return gated.isIdle(); }));
    EXPECT_EQ(target.text(), QStringLiteral("after release "));
}

// Each window gets the chord its class pastes with, its key carrying the
// chord's modifiers and no other; a class not on the list gets Control+V
// and is named in the log once.
TEST_F(PasteIntoOtherApplications, EachWindowClassGetsItsPasteChord)
{
    const auto sendChordTo = [&](KeystrokeRecorder& window, const QString& chord) {
        return keys->sendPasteChord(keys->chordForFocusedWindow(), {}, {}) == ChordOutcome::sent
            && pumpUntil([&] { return !window.lines().filter(QStringLiteral("chord ")).isEmpty(); })
            && window.lines().filter(QStringLiteral("chord ")) == QStringList{QStringLiteral("chord ") + chord};
    };
    {
        KeystrokeRecorder vte;
        ASSERT_TRUE(vte.start({QStringLiteral("-name"), QStringLiteral("lxterminal")}));
        EXPECT_TRUE(sendChordTo(vte, QStringLiteral("Ctrl+Shift+V"))) << vte.lines().join(' ').toStdString();
    }
    {
        KeystrokeRecorder urxvt;
        ASSERT_TRUE(urxvt.start({QStringLiteral("-name"), QStringLiteral("urxvt")}));
        EXPECT_TRUE(sendChordTo(urxvt, QStringLiteral("Shift+Ins"))) << urxvt.lines().join(' ').toStdString();
    }
    LogCapture log;
    KeystrokeRecorder editor;
    ASSERT_TRUE(editor.start());
    EXPECT_TRUE(sendChordTo(editor, QStringLiteral("Ctrl+V"))) << editor.lines().join(' ').toStdString();
    ASSERT_EQ(keys->sendPasteChord(keys->chordForFocusedWindow(), {}, {}), ChordOutcome::sent);
    EXPECT_EQ(log.systemLines().filter(QStringLiteral("keystroke_recorder")).size(), 1)
        << log.systemLines().join(QLatin1Char('\n')).toStdString();
}

// The layout changes while the tool runs: the chord goes out on the key
// that types "v" now, on the key that types it in another layout when the
// active one has none, and on a key of its own when no layout has one.
TEST_F(PasteIntoOtherApplications, ChordFollowsTheActiveLayout)
{
    XTestKeyboard keyboard;
    struct RestoreLayout {
        XTestKeyboard& keyboard;
        ~RestoreLayout() { keyboard.setLayout({QStringLiteral("us")}); }
    } restore{keyboard};

    PasteTarget target;
    ASSERT_TRUE(startFocusedQtTarget(target));
    pasteAndWait(QStringLiteral("one "));

    ASSERT_TRUE(keyboard.setLayout({QStringLiteral("us"), QStringLiteral("-variant"), QStringLiteral("dvorak")}));
    pasteAndWait(QStringLiteral("two "));
    EXPECT_EQ(target.text(), QStringLiteral("one two "));

    ASSERT_TRUE(keyboard.setLayout({QStringLiteral("ru,us")}));
    pasteAndWait(QStringLiteral("three "));
    EXPECT_EQ(target.text(), QStringLiteral("one two three "));

    ASSERT_TRUE(keyboard.setLayout({QStringLiteral("ru")}));
    pasteAndWait(QStringLiteral("four "));
    EXPECT_EQ(target.text(), QStringLiteral("one two three four "));
}

// The user types on as the text lands: a key of theirs pressed on the
// keyboard as the chord's key is about to go out reaches the field as the
// plain key, and the chord's Ctrl stays the chord's.
TEST_F(PasteIntoOtherApplications, AKeyTypedAsTheChordGoesOutTakesNoneOfItsModifiers)
{
    PasteTarget target;
    ASSERT_TRUE(startFocusedGtkTarget(target));
    XTestKeyboard user;
    auto typeNow = std::make_shared<std::atomic<bool>>(true);
    keys->setBeforeChord([&user, typeNow] {
        if (typeNow->exchange(false)) {
            user.pressOnKeyboardDevice("s");
            user.releaseOnKeyboardDevice("s");
        }
    });
    pasteAndWait(QStringLiteral("aved "));
    keys->setBeforeChord({});
    EXPECT_TRUE(pumpUntil([&] { return target.text() == QStringLiteral("saved "); })) << target.text().toStdString();
}

// The tool ends (a crash, the OOM killer, a kill at logout) as its chord's
// key is about to go out: nothing of the chord is left latched, locked or
// down. Held for Slow Keys, the key and the chord's Ctrl outlive a kill in
// the hold; the next start undoes both and says so once.
TEST_F(PasteIntoOtherApplications, AToolKilledAtItsChordLeavesNothingOrTheNextStartUndoesIt)
{
    XTestKeyboard user;
    const auto killedAt = [](const char* moment) {
        QProcess chord;
        chord.start(testToolPath(QStringLiteral("paste_chord")), {QString::fromLatin1(moment)});
        EXPECT_TRUE(chord.waitForFinished(Patience::transfer));
        EXPECT_EQ(chord.exitStatus(), QProcess::CrashExit) << chord.readAll().toStdString();
    };
    killedAt("at-key");
    EXPECT_EQ(user.state().latched, 0u);
    EXPECT_EQ(user.state().locked, 0u);
    EXPECT_FALSE(user.isDown("v"));

    user.lockModifiers(shiftMask, true);
    user.setSlowAndBounceKeys(300, 0);
    killedAt("in-hold");
    ASSERT_TRUE(pumpUntil([&] { return user.isDown("v"); })) << "Slow Keys never took the held key";
    LogCapture log;
    X11KeySynthesizer nextStart;
    nextStart.repairCutShortChord();
    nextStart.repairCutShortChord();
    EXPECT_FALSE(user.isDown("v"));
    EXPECT_EQ(user.state().latched, 0u);
    EXPECT_EQ(user.state().locked, shiftMask) << "the user's Shift Lock is not back";
    EXPECT_EQ(log.systemLines().filter(QStringLiteral("cut short")).size(), 1)
        << log.systemLines().join(QLatin1Char('\n')).toStdString();
}

// The desktop's accessibility settings: Slow Keys at 300 ms take the chord's
// key once, and a key of the user's they have yet to take is waited for, so
// it never meets the chord's Ctrl; Bounce Keys at 300 ms let two texts
// queued behind a held key go one after the other, both whole.
TEST_F(PasteIntoOtherApplications, SlowKeysAndBounceKeysTakeEveryChordOnce)
{
    PasteTarget target;
    ASSERT_TRUE(startFocusedGtkTarget(target));
    XTestKeyboard user;
    user.setSlowAndBounceKeys(300, 0);
    pasteAndWait(QStringLiteral("slow "));
    EXPECT_EQ(target.text().toStdString(), "slow ");

    // A key the user pressed just before the text: Slow Keys take it while
    // the chord's key would be held, and it stays a plain "s".
    user.pressOnKeyboardDevice("s");
    inserter.paste(QStringLiteral("after s "));
    EXPECT_TRUE(pumpUntil([&] { return user.isDown("s"); }));
    user.releaseOnKeyboardDevice("s");
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(target.text().toStdString(), "slow safter s ");

    user.setSlowAndBounceKeys(0, 300);
    user.press("ISO_Level3_Shift");
    inserter.paste(QStringLiteral("one "));
    inserter.paste(QStringLiteral("two "));
    user.release("ISO_Level3_Shift");
    ASSERT_TRUE(pumpUntil([&] { return inserter.isIdle(); }));
    EXPECT_EQ(target.text().toStdString(), "slow safter s one two ");
}

// Shift locked by the user (Sticky Keys' double tap, a Shift Lock key) would
// turn Ctrl+V into Ctrl+Shift+V, which pastes nothing in GTK or Qt: the chord
// sets it aside and puts it back.
TEST_F(PasteIntoOtherApplications, AUsersShiftLockIsSetAsideForTheChordAndStays)
{
    PasteTarget gtk;
    ASSERT_TRUE(startFocusedGtkTarget(gtk));
    XTestKeyboard user;
    user.lockModifiers(shiftMask, true);
    pasteAndWait(QStringLiteral("gtk "));
    EXPECT_EQ(gtk.text().toStdString(), "gtk ");
    EXPECT_EQ(user.state().locked, shiftMask);

    PasteTarget qt;
    ASSERT_TRUE(startFocusedQtTarget(qt));
    pasteAndWait(QStringLiteral("qt "));
    EXPECT_EQ(qt.text().toStdString(), "qt ");
    EXPECT_EQ(user.state().locked, shiftMask);
}

namespace {

// Dictations back to back through the controller on the real tap: a
// transcript is ready as the user presses push-to-talk for the next one.
// Alt of push-to-talk is never released on the user's behalf.
class DictationsBackToBack : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs an X display";
        ASSERT_TRUE(startFocusedQtTarget(target));
        controller = controllerOnRealTap(tap, capture, keys, std::make_shared<QtPasteboard>());
        ASSERT_TRUE(tap->exists());
    }

    void TearDown() override
    {
        if (controller)
            releaseController(controller);
        DefaultsTest::TearDown();
    }

    // Holds push-to-talk, pressed unless `pressed` already went down; true
    // when the recording lasted the whole hold.
    // `meanwhile` runs right after the press, before the hold is checked.
    bool recordsTheWholeHold(XTestKeyboard& user, bool pressed = false, const std::function<void()>& meanwhile = {})
    {
        if (!pressed) {
            user.press("Alt_L");
            user.press("w");
        }
        if (meanwhile)
            meanwhile();
        if (!pumpUntil([this] { return controller->isRecording(); }))
            return false;
        bool whole = true;
        QElapsedTimer held;
        held.start();
        while (held.elapsed() < 600) {
            pumpFor(10);
            whole = whole && controller->isRecording();
        }
        user.release("w");
        user.release("Alt_L");
        return pumpUntil([this] { return !controller->isRecording(); }) && whole;
    }

    bool typedAre(const QString& expected)
    {
        return pumpUntil([&] { return target.text() == expected; });
    }

    // Pastes `text` with push-to-talk pressed between the chord's last look
    // at the keyboard and the chord itself; true once the press is made.
    bool pasteAsThePressLandsOnTheChord(const QString& text)
    {
        auto pressNow = std::make_shared<std::atomic<bool>>(true);
        keys->setBeforeChord([this, pressNow] {
            if (pressNow->exchange(false)) {
                keyboard.press("Alt_L");
                keyboard.press("w");
            }
        });
        controller->injectText(text, RecordingMode::pushToTalk);
        return pumpUntil([&] { return !pressNow->load(); });
    }

    PasteTarget target;
    XTestKeyboard keyboard;
    std::shared_ptr<X11HotkeyTap> tap = std::make_shared<X11HotkeyTap>();
    std::shared_ptr<FakeAudioCapture> capture = std::make_shared<FakeAudioCapture>();
    std::shared_ptr<X11KeySynthesizer> keys = std::make_shared<X11KeySynthesizer>();
    std::unique_ptr<AppDelegate> controller;
};

} // namespace

TEST_F(DictationsBackToBack, ATextReadyAsTheNextHoldBeginsIsTypedAfterItEachOnceInOrder)
{
    QString expected;
    // Negative: the text is ready that long after the press.
    for (const int pressAfterMs : {-25, -5, 0, 10, 25, 50}) {
        const QString first = QStringLiteral("ready%1").arg(pressAfterMs + 100);
        const auto textReady = [&] { controller->injectText(first, RecordingMode::pushToTalk); };
        if (pressAfterMs >= 0) {
            textReady();
            pumpFor(pressAfterMs);
            EXPECT_TRUE(recordsTheWholeHold(keyboard)) << "pressed " << pressAfterMs << " ms after the text was ready";
        } else {
            EXPECT_TRUE(recordsTheWholeHold(keyboard, false,
                [&] {
                    pumpFor(-pressAfterMs);
                    textReady();
                }))
                << "the text was ready " << -pressAfterMs << " ms after the press";
        }
        const QString second = QStringLiteral("held%1").arg(pressAfterMs + 100);
        controller->injectText(second, RecordingMode::pushToTalk);
        expected += first + QLatin1Char(' ') + second + QLatin1Char(' ');
        ASSERT_TRUE(typedAre(expected)) << target.text().toStdString();
    }
}

// The press lands between the chord's last look at the keyboard and the
// chord: our grab takes the chord, which goes again once the keys are up.
// A quit meanwhile gives the user's clipboard back at once, and nothing is
// typed after it.
TEST_F(DictationsBackToBack, APressDuringThePasteItselfEndsNothingAndTheTextFollowsTheHold)
{
    ASSERT_TRUE(pasteAsThePressLandsOnTheChord(QStringLiteral("first")));
    EXPECT_TRUE(recordsTheWholeHold(keyboard, true));
    EXPECT_EQ(target.text(), QString()) << "the chord went to the grab";
    controller->injectText(QStringLiteral("second"), RecordingMode::pushToTalk);
    EXPECT_TRUE(typedAre(QStringLiteral("first second "))) << target.text().toStdString();
}

TEST_F(DictationsBackToBack, AQuitWhileTheChordWaitsToGoAgainGivesTheClipboardBackFirst)
{
    ASSERT_FALSE(target.ask("copy", "copied").isEmpty());
    ASSERT_TRUE(clipboardTakenByAnother());
    ASSERT_TRUE(pasteAsThePressLandsOnTheChord(QStringLiteral("never typed")));
    ASSERT_TRUE(pumpUntil([&] { return controller->isRecording(); }));

    // The process ends right after termination, with no turn of the event
    // loop: the user's contents must be ours to offer by then. (Asked of the
    // target at once, the answer could race the target's own view of the
    // selection's owner.)
    controller->applicationWillTerminate();
    const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->text(), QStringLiteral("user text"));
    EXPECT_FALSE(offered->formats().filter(QStringLiteral("image/")).isEmpty());
    keyboard.release("w");
    keyboard.release("Alt_L");
    pumpFor(static_cast<int>(PasteTiming{}.heldChordGrace * 2000));
    EXPECT_EQ(target.text(), QString());
    EXPECT_EQ(target.ask("clipboard", "clipboard "), expectedUserClipboard());
}
