#include "popover/StudioState.h"

#include "PopoverFixture.h"

#include "base/NotificationCenter.h"
#include "popover/PopoverViewModel.h"
#include "shell/ManualClock.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

void postTranscript(const QVariant& text)
{
    QVariantMap info;
    if (text.isValid())
        info.insert(QStringLiteral("text"), text);
    NotificationCenter::shared().post(QStringLiteral("TranscriptionUpdated"), info);
}

class Studio : public PopoverTest {
protected:
    FakePopoverHost host;
    PopoverViewModel viewModel{&host};
    ManualClock clock;
    StudioState studio{viewModel, clock.scheduler()};
};

TEST(StudioTime, MinutesAndSecondsWithLeadingZeros)
{
    EXPECT_EQ(StudioState::formatTime(0), "00:00");
    EXPECT_EQ(StudioState::formatTime(0.99), "00:00");
    EXPECT_EQ(StudioState::formatTime(61.5), "01:01");
    EXPECT_EQ(StudioState::formatTime(99 * 60 + 59), "99:59");
    EXPECT_EQ(StudioState::formatTime(100 * 60 + 5), "100:05");
}

// The time is the sum of 0.1 s ticks: ten of them fall just short of a
// second, so the shown second changes only at the eleventh.
TEST_F(Studio, TimerTextIsTheTruncatedSumOfTicks)
{
    studio.startRecording();
    EXPECT_TRUE(studio.isTimerRunning());
    for (int tick = 0; tick < 10; ++tick)
        studio.timerDidFire();
    EXPECT_LT(studio.recordingTime(), 1.0);
    EXPECT_EQ(StudioState::formatTime(studio.recordingTime()), "00:00");
    studio.timerDidFire();
    EXPECT_EQ(StudioState::formatTime(studio.recordingTime()), "00:01");

    studio.stopRecording();
    EXPECT_FALSE(studio.isTimerRunning());
    EXPECT_GT(studio.recordingTime(), 1.0) << "the last value is kept";
    studio.startRecording();
    EXPECT_EQ(studio.recordingTime(), 0.0);
}

// Closing the popover must not stop what the studio did not start, and
// must not make the controller wait for an audio tail when nothing records.
// Its record button must not take over a shortcut's dictation either.
TEST_F(Studio, StartsAndStopsOnlyTheStudiosOwnRecording)
{
    studio.viewDidDisappear();
    EXPECT_EQ(host.studioStops, 0) << "nothing recorded";

    // A shortcut dictation runs while the studio is idle.
    host.capturing = true;
    host.mode = RecordingMode::pushToTalk;
    studio.viewDidDisappear();
    EXPECT_EQ(host.studioStops, 0);
    studio.toggleRecording();
    EXPECT_EQ(host.studioStarts, 0);
    EXPECT_FALSE(studio.isRecording());
    EXPECT_FALSE(studio.isTimerRunning());
    EXPECT_TRUE(studio.isObservingTranscripts()) << "the dictation's text shows here";
    host.capturing = false;

    // The studio records, then a shortcut takes the capture over.
    studio.startRecording();
    host.mode = RecordingMode::toggle;
    studio.viewDidDisappear();
    EXPECT_EQ(host.studioStops, 0);
    EXPECT_FALSE(studio.isRecording());

    // The studio's capture never began (the controller reported a failure).
    studio.startRecording();
    host.capturing = false;
    studio.stopRecording();
    EXPECT_EQ(host.studioStops, 0);

    studio.startRecording();
    studio.viewDidDisappear();
    EXPECT_EQ(host.studioStops, 1);
}

TEST_F(Studio, RecordsThroughTheControllerAndWithoutItOnlyItsOwnStateChanges)
{
    studio.toggleRecording();
    EXPECT_EQ(host.studioStarts, 1);
    EXPECT_TRUE(studio.isObservingTranscripts());
    studio.toggleRecording();
    EXPECT_FALSE(studio.isRecording());
    EXPECT_EQ(host.studioStops, 1);

    auto gone = std::make_unique<FakePopoverHost>();
    PopoverViewModel orphan(gone.get());
    gone.reset();
    StudioState alone(orphan, clock.scheduler());
    alone.startRecording();
    EXPECT_TRUE(alone.isRecording());
    EXPECT_TRUE(alone.isTimerRunning());
    EXPECT_FALSE(alone.isObservingTranscripts());
    alone.stopRecording();
    EXPECT_FALSE(alone.isRecording());
}

TEST_F(Studio, ATranscriptReplacesTheTextAndExpandsACollapsedPopover)
{
    studio.setTranscribedText(QStringLiteral("earlier words"));
    viewModel.setExpanded(false);
    host.resizes.clear();

    studio.startRecording();
    EXPECT_EQ(studio.transcribedText(), "earlier words") << "kept until the new one arrives";
    studio.stopRecording();
    postTranscript(QStringLiteral("the new transcript"));

    EXPECT_EQ(studio.transcribedText(), "the new transcript");
    EXPECT_TRUE(viewModel.isExpanded());
    EXPECT_EQ(host.resizes, std::vector<bool>{true});
}

TEST_F(Studio, TheObserverStaysForLaterDictationsAndIgnoresOtherPayloads)
{
    studio.startRecording();
    studio.startRecording();
    postTranscript(QStringLiteral("one"));
    EXPECT_FALSE(viewModel.isExpanded()) << "no expansion while recording";
    studio.stopRecording();
    postTranscript(QVariant(42));
    postTranscript(QVariant());
    EXPECT_EQ(studio.transcribedText(), "one");

    // A later shortcut dictation replaces it as well (one observer only:
    // the text is replaced, not appended).
    postTranscript(QStringLiteral("two"));
    EXPECT_EQ(studio.transcribedText(), "two");
}

TEST_F(Studio, CopyPutsTheTranscriptOnTheClipboardWithACheckMarkFromTheFirstCopy)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    studio.setTranscribedText(QStringLiteral("copy me"));

    studio.copyText();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "copy me");
    EXPECT_TRUE(studio.showCopiedAlert());
    EXPECT_EQ(studio.transcribedText(), "copy me");

    clock.advance(1.0);
    studio.copyText();
    clock.advance(0.5);
    EXPECT_FALSE(studio.showCopiedAlert()) << "1.5 s after the first copy";
    clock.advance(1.0);
    EXPECT_FALSE(studio.showCopiedAlert());
}

TEST_F(Studio, EditsKeepTheLayoutAndClearEmptiesTheTextAndCollapses)
{
    studio.setTranscribedText(QStringLiteral("words"));
    ASSERT_TRUE(viewModel.isExpanded());
    host.resizes.clear();
    studio.setTranscribedText(QStringLiteral("words more"));
    EXPECT_TRUE(host.resizes.empty()) << "edits while expanded";
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));

    studio.clearText();
    EXPECT_TRUE(studio.transcribedText().isEmpty());
    EXPECT_FALSE(viewModel.isExpanded());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");

    // Collapsed already: it stays so, and no resize is asked for.
    host.resizes.clear();
    studio.setTranscribedText(QString());
    studio.clearText();
    EXPECT_FALSE(viewModel.isExpanded());
    EXPECT_TRUE(host.resizes.empty());
}

} // namespace
