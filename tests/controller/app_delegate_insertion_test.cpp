#include "controller/AppDelegate.h"
#include "core/state/RecordingState.h"

#include "support/EventLoop.h"
#include "support/FakeHotkeyTap.h"
#include "support/FakeKeySynthesizer.h"
#include "support/FakePasteboard.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <thread>

namespace {

const PasteboardContents userClipboard = {{QStringLiteral("text/plain"), QByteArray("user's own")}};
const PasteboardContents userSelection = {{QStringLiteral("text/plain"), QByteArray("user's selection")}};

class InjectTextTest : public ::testing::Test {
protected:
    InjectTextTest()
    {
        PlatformServices services;
        services.pasteboard = board;
        services.primarySelection = primary;
        services.keySynthesizer = keys;
        services.hotkeyTap = tap;
        controller = std::make_unique<AppDelegate>(services);
        keys->setOnChord([this] {
            pastedTexts << board->text();
            board->simulateFetch();
        });
    }

    // Injects from a worker thread, as the transcription job does.
    void injectFromWorker(const QString& text, RecordingMode mode)
    {
        std::thread worker([&] { controller->injectText(text, mode); });
        worker.join();
    }

    std::shared_ptr<FakePasteboard> board = std::make_shared<FakePasteboard>(userClipboard);
    std::shared_ptr<FakePasteboard> primary = std::make_shared<FakePasteboard>(userSelection);
    std::shared_ptr<FakeKeySynthesizer> keys = std::make_shared<FakeKeySynthesizer>();
    std::shared_ptr<FakeHotkeyTap> tap = std::make_shared<FakeHotkeyTap>();
    std::unique_ptr<AppDelegate> controller;
    QStringList pastedTexts;
    QStringList announced;
    bool announcedOnMain = true;
    NotificationObservation observation{QStringLiteral("TranscriptionUpdated"), [this](const Notification& note) {
                                            announced << note.userInfo.value(QStringLiteral("text")).toString();
                                            announcedOnMain = announcedOnMain && Dispatch::isMainThread();
                                        }};
};

} // namespace

TEST_F(InjectTextTest, HotkeyModesAnnounceTheRawTextAndPasteItCleanedWithOneSpace)
{
    const QString raw = QStringLiteral("Hello") + QChar(0x200B) + QStringLiteral(" world");
    injectFromWorker(raw, RecordingMode::pushToTalk);
    ASSERT_TRUE(pumpUntil([&] { return board->restoreCount() == 1; }));
    injectFromWorker(QStringLiteral("again"), RecordingMode::toggle);
    ASSERT_TRUE(pumpUntil([&] { return board->restoreCount() == 2; }));

    EXPECT_EQ(announced, QStringList({raw, QStringLiteral("again")}));
    EXPECT_TRUE(announcedOnMain);
    EXPECT_EQ(pastedTexts, QStringList({QStringLiteral("Hello world "), QStringLiteral("again ")}));
    EXPECT_EQ(board->contents(), userClipboard);
}

// A terminal that pastes PRIMARY reads the dictation from there.
TEST_F(InjectTextTest, ATerminalPastingThePrimarySelectionFindsTheTextThere)
{
    keys->setFocusedChord(PasteChord::shiftInsert);
    keys->setOnChord([this] {
        pastedTexts << primary->text();
        primary->simulateFetch();
    });
    injectFromWorker(QStringLiteral("ls"), RecordingMode::pushToTalk);
    ASSERT_TRUE(pumpUntil([&] { return primary->restoreCount() == 1; }));
    EXPECT_EQ(pastedTexts, QStringList({QStringLiteral("ls ")}));
    EXPECT_EQ(primary->contents(), userSelection);
    EXPECT_EQ(board->contents(), userClipboard);
}

TEST_F(InjectTextTest, StudioModeOnlyAnnouncesTheText)
{
    injectFromWorker(QStringLiteral("for the studio"), RecordingMode::studio);
    ASSERT_TRUE(pumpUntil([&] { return !announced.isEmpty(); }));
    // Give a stray paste every chance to show up.
    pumpUntil([] { return false; }, 100);

    EXPECT_EQ(announced, QStringList({QStringLiteral("for the studio")}));
    EXPECT_EQ(board->copiesStarted(), 0);
    EXPECT_TRUE(board->textsSet().isEmpty());
    EXPECT_EQ(keys->chordCount(), 0);
}

// The user holds push-to-talk again while earlier dictations finish: the
// desktop would hand the chord to our own grab, so the texts wait, with the
// user's clipboard untouched, and then go in the order they finished.
TEST_F(InjectTextTest, PastesWaitWhileAShortcutKeyIsHeldThenGoInOrder)
{
    tap->shortcutKeyHeld = true;
    injectFromWorker(QStringLiteral("first"), RecordingMode::pushToTalk);
    injectFromWorker(QStringLiteral("second"), RecordingMode::pushToTalk);
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(keys->chordCount(), 0);
    EXPECT_TRUE(board->textsSet().isEmpty());
    EXPECT_EQ(board->contents(), userClipboard);

    tap->shortcutKeyHeld = false;
    ASSERT_TRUE(pumpUntil([&] { return board->restoreCount() == 2; }));
    EXPECT_EQ(pastedTexts, QStringList({QStringLiteral("first "), QStringLiteral("second ")}));
    EXPECT_EQ(board->contents(), userClipboard);
}
