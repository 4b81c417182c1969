#include "DictationFixture.h"

#include "core/config/AppConfig.h"
#include "platform/Workspace.h"
#include "popover/RecordButton.h"
#include "popover/StudioView.h"
#include "recording/RecordingManager.h"
#include "support/FakeTrayIcon.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <utility>

namespace {

int transcribedSampleCount(const LogCapture& log)
{
    const QStringList lines = log.systemLines().filter("[AppDelegate] About to transcribe ");
    if (lines.isEmpty())
        return -1;
    return lines.last().section(' ', 4, 4).toInt();
}

} // namespace

class CaptureTest : public DictationTest {
protected:
    void SetUp() override
    {
        DictationTest::SetUp();
        // The whole recording reaches the transcription step, so its log line
        // counts exactly what the tap kept.
        AppConfig::setVadSegmentationMode("off");
    }
};

TEST_F(CaptureTest, RecordsOnlyAfterTheFirstPermissionRequestIsGranted)
{
    permission->authorization = MicrophoneAuthorization::NotDetermined;
    begin();
    EXPECT_EQ(permission->requests, 1);
    EXPECT_TRUE(capture->streams.empty());
    EXPECT_FALSE(controller->isRecording());

    permission->answer(true); // the answer may come from any thread
    EXPECT_TRUE(capture->streams.empty()); // carried to the main thread first
    Dispatch::drainMainQueue();
    ASSERT_EQ(capture->streams.size(), 1u);
    EXPECT_TRUE(stream().isRunning());
    EXPECT_TRUE(controller->isRecording());
    EXPECT_EQ(statusIcon(), "mic.circle.fill");
}

TEST_F(CaptureTest, RefusedFirstRequestShowsNothing)
{
    permission->authorization = MicrophoneAuthorization::NotDetermined;
    begin();
    permission->answer(false);
    Dispatch::drainMainQueue();
    EXPECT_TRUE(capture->streams.empty());
    EXPECT_TRUE(alerts->shown.empty());
    EXPECT_FALSE(controller->isRecording());
}

TEST_F(CaptureTest, DeniedPermissionAlertsAndCanOpenTheSoundSettings)
{
    for (const auto status : {MicrophoneAuthorization::Denied, MicrophoneAuthorization::Restricted}) {
        alerts->shown.clear();
        workspace->opened.clear();
        permission->authorization = status;
        alerts->responses = {0};
        begin(RecordingMode::pushToTalk);
        Dispatch::drainMainQueue();
        ASSERT_EQ(alerts->shown.size(), 1u);
        const Alert& alert = alerts->shown.front();
        EXPECT_EQ(alert.messageText, "Microphone Access Required");
        EXPECT_EQ(alert.informativeText,
            "tallowind needs microphone access to record audio. Please grant access in System Settings.");
        EXPECT_EQ(alert.style, AlertStyle::Warning);
        EXPECT_EQ(alert.buttons, (QStringList{"Open System Settings", "Cancel"}));
        EXPECT_EQ(workspace->opened, QList<QUrl>{Workspace::microphoneSettingsURL()});
        EXPECT_TRUE(capture->streams.empty());
        EXPECT_FALSE(controller->recordingStateManager().currentState().isActive);
    }

    workspace->opened.clear();
    alerts->responses = {1};
    begin(RecordingMode::pushToTalk);
    Dispatch::drainMainQueue();
    EXPECT_TRUE(workspace->opened.isEmpty());
}

// Without a sound server there is no input format to convert from.
TEST_F(CaptureTest, SetUpFailureAlertsOnceAndLeavesNothingToTranscribe)
{
    capture->format = AudioStreamFormat{};
    LogCapture log;
    begin();
    Dispatch::drainMainQueue();
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, "Audio Setup Failed");
    EXPECT_EQ(alerts->shown[0].informativeText,
        "Unable to initialize audio recording. Please restart the app and try again.");
    EXPECT_EQ(alerts->shown[0].style, AlertStyle::Critical);
    EXPECT_FALSE(stream().hasTap());

    deliver(std::vector<float>(1600, 0.2f));
    stopAndFinish();
    EXPECT_EQ(transcribedSampleCount(log), -1);
    EXPECT_EQ(statusIcon(), "mic.circle");
}

TEST_F(CaptureTest, FailedStartAlertsAndEndsTheRecording)
{
    capture->nextStartError = "The audio input device could not be opened.";
    begin(RecordingMode::toggle);
    EXPECT_FALSE(controller->isRecording());
    EXPECT_FALSE(controller->recordingStateManager().currentState().isActive);
    Dispatch::drainMainQueue();
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, "Audio Recording Failed");
    EXPECT_EQ(alerts->shown[0].informativeText,
        "Failed to start audio recording: The audio input device could not be opened.\n\nPlease try again.");
    EXPECT_EQ(alerts->shown[0].buttons, QStringList{"OK"});
    EXPECT_EQ(statusIcon(), "mic.circle");
}

// The studio's record button after a failed start: idle as if it had never
// started, so that the next click starts a recording, not a stale stop.
TEST_F(CaptureTest, AFailedStudioStartLeavesTheStudioIdle)
{
    services.trayIcon = std::make_shared<FakeTrayIcon>();
    controller = std::make_unique<AppDelegate>(services);
    controller->setupMenuBar();
    controller->showPopover();
    StudioView* studio = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (!studio)
            studio = window->findChild<StudioView*>();
    ASSERT_NE(studio, nullptr);
    RecordButton* record = studio->recordButton();

    capture->nextStartError = "The sound server could not be reached (Connection refused).";
    record->click();
    EXPECT_FALSE(studio->state().isTimerRunning());
    EXPECT_EQ(record->accessibleName(), "Start recording");
    EXPECT_TRUE(studio->state().isObservingTranscripts()) << "shortcut dictations show up from now on";

    capture->nextStartError.clear();
    record->click();
    EXPECT_TRUE(controller->isRecording());
    EXPECT_EQ(record->accessibleName(), "Stop recording");
}

// A held shortcut is one press: its auto-repeats do not try a failed start
// again, and a press while the failure is still on screen is logged but not
// alerted a second time.
TEST_F(CaptureTest, AFailedStartIsTriedOncePerPressAndAlertedOnceAtATime)
{
    const auto startCalls = [this] {
        int calls = 0;
        for (const auto& made : capture->streams)
            calls += made->startCalls;
        return calls;
    };
    capture->nextStartError = "The sound server could not be reached (Connection refused).";
    auto tap = std::static_pointer_cast<FakeHotkeyTap>(services.hotkeyTap);
    std::static_pointer_cast<FakeAccessibilityTrust>(services.accessibilityTrust)->trusted = true;
    controller->setupGlobalHotkey();
    ASSERT_TRUE(tap->exists());
    LogCapture log;

    bool pressedAgain = false;
    alerts->whileShown = [&](const Alert&) {
        if (std::exchange(pressedAgain, true))
            return;
        tap->keyUp(keyW, option);
        tap->keyDown(keyW, option);
        Dispatch::drainMainQueue();
    };
    for (int repeat = 0; repeat < 20; ++repeat)
        EXPECT_EQ(tap->keyDown(keyW, option), HotkeyTap::Disposition::swallow);
    EXPECT_EQ(startCalls(), 1);
    Dispatch::drainMainQueue();
    EXPECT_EQ(startCalls(), 2);
    EXPECT_EQ(alerts->shown.size(), 1u);
    const QStringList failures = log.systemLines().filter("[AppDelegate] Audio recording could not start: ");
    ASSERT_EQ(failures.size(), 2);
    EXPECT_EQ(failures[0],
        "[AppDelegate] Audio recording could not start: The sound server could not be reached (Connection refused).");

    // Once the alert is closed, the next failure is told again.
    tap->keyUp(keyW, option);
    tap->keyDown(keyW, option);
    Dispatch::drainMainQueue();
    EXPECT_EQ(alerts->shown.size(), 2u);
    EXPECT_FALSE(controller->isRecording());
}

// The level is the RMS of the latest converted buffer alone, x50, capped at
// 1, published once at least 67 samples arrived since the last one.
TEST_F(CaptureTest, LevelFollowsTheLatestBufferEvery67Samples)
{
    begin();
    auto& level = RecordingManager::shared();
    stream().deliver(std::vector<float>(375, 0.01f));
    Dispatch::drainMainQueue();
    EXPECT_FLOAT_EQ(level.audioLevel(), 0.5f);

    stream().deliver(std::vector<float>(66, 0.002f));
    stream().deliver({});
    Dispatch::drainMainQueue();
    EXPECT_FLOAT_EQ(level.audioLevel(), 0.5f);

    stream().deliver({0.004f}); // the 67th sample: this buffer alone counts
    Dispatch::drainMainQueue();
    EXPECT_FLOAT_EQ(level.audioLevel(), 0.2f);

    stream().deliver(std::vector<float>(100, 0.9f));
    Dispatch::drainMainQueue();
    EXPECT_FLOAT_EQ(level.audioLevel(), 1.0f);
}

TEST_F(CaptureTest, KeepsEverySampleDeliveredWhileRecordingAndNothingElse)
{
    begin();
    deliver(std::vector<float>(1000, 0.2f), 375);
    stream().deliver({});
    deliver(std::vector<float>(333, 0.2f), 333);
    LogCapture log;
    stopAndFinish();
    EXPECT_EQ(transcribedSampleCount(log), 1333);
    EXPECT_FALSE(stream().hasTap());
    EXPECT_FALSE(stream().isRunning());
    EXPECT_EQ(stream().stopCalls, 1);
}

TEST_F(CaptureTest, ConvertsOtherRatesAndChannelsTo16kMono)
{
    capture->format = AudioStreamFormat{48000, 2};
    begin();
    std::vector<float> stereo(2 * 48000, 0.2f);
    deliver(stereo, 1024 * 2);
    LogCapture log;
    stopAndFinish();
    // One second in, about one second out (less the resampler's delay).
    EXPECT_NEAR(transcribedSampleCount(log), 16000, 100);
}

// A start during a recording keeps the running stream and begins afresh;
// a studio start leaves a shortcut's recording as it is.
TEST_F(CaptureTest, StartingAgainKeepsTheStreamAndEmptiesTheBuffer)
{
    begin();
    deliver(std::vector<float>(800, 0.2f));
    begin();
    EXPECT_EQ(capture->streams.size(), 1u);
    EXPECT_EQ(stream().startCalls, 1);
    deliver(std::vector<float>(500, 0.2f));
    LogCapture log;
    stopAndFinish();
    EXPECT_EQ(transcribedSampleCount(log), 500);

    begin(RecordingMode::toggle);
    deliver(std::vector<float>(800, 0.2f));
    controller->startStudioRecording();
    EXPECT_EQ(controller->recordingMode(), RecordingMode::toggle);
    deliver(std::vector<float>(500, 0.2f));
    stopAndFinish();
    EXPECT_EQ(transcribedSampleCount(log), 1300);
}

TEST_F(CaptureTest, EachRecordingGetsAFreshStream)
{
    begin();
    deliver(std::vector<float>(400, 0.2f));
    controller->cancelRecording();
    begin();
    ASSERT_EQ(capture->streams.size(), 2u);
    EXPECT_FALSE(capture->streams[0]->isRunning());
    EXPECT_TRUE(capture->streams[1]->isRunning());
}

TEST_F(CaptureTest, CancelThrowsTheRecordingAway)
{
    begin(RecordingMode::toggle);
    deliver(std::vector<float>(3200, 0.2f));
    controller->cancelRecording();
    EXPECT_FALSE(controller->isRecording());
    EXPECT_FALSE(controller->recordingStateManager().currentState().isActive);
    EXPECT_FALSE(stream().isRunning());
    EXPECT_FALSE(stream().hasTap());
    EXPECT_EQ(statusIcon(), "mic.circle");

    LogCapture log;
    stopAndFinish();
    EXPECT_EQ(transcribedSampleCount(log), -1);
}

TEST_F(CaptureTest, ConversionFailureStopsTheRecordingWithAnAlert)
{
    begin(RecordingMode::pushToTalk);
    deliver(std::vector<float>(3200, 0.2f));
    LogCapture log;
    controller->handleAudioConversionError("Audio conversion failed: bad ratio");
    EXPECT_TRUE(log.hasSystemLine("Audio conversion error: Audio conversion failed: bad ratio"));
    EXPECT_FALSE(controller->isRecording());
    EXPECT_FALSE(controller->recordingStateManager().currentState().isActive);
    EXPECT_FALSE(stream().isRunning());
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, "Audio Recording Error");
    EXPECT_EQ(alerts->shown[0].informativeText,
        "Failed to process audio: Audio conversion failed: bad ratio\n\nPlease try recording again.");
    EXPECT_EQ(statusIcon(), "mic.circle");

    stopAndFinish();
    EXPECT_EQ(transcribedSampleCount(log), -1);
}

// The alert's nested event loop keeps the shortcuts live: a recording started
// while it is open belongs to the user and survives its closing.
TEST_F(CaptureTest, ARecordingStartedWhileTheConversionAlertIsOpenIsKept)
{
    begin(RecordingMode::pushToTalk);
    deliver(std::vector<float>(3200, 0.2f));
    alerts->whileShown = [this](const Alert&) {
        begin(RecordingMode::pushToTalk);
        deliver(std::vector<float>(1600, 0.2f));
    };
    controller->handleAudioConversionError("Audio conversion failed: bad ratio");
    alerts->whileShown = nullptr;

    EXPECT_TRUE(controller->isRecording());
    ASSERT_EQ(capture->streams.size(), 2u);
    EXPECT_TRUE(stream().isRunning());
    EXPECT_TRUE(stream().hasTap());
    deliver(std::vector<float>(400, 0.2f));
    LogCapture log;
    stopAndFinish();
    EXPECT_EQ(transcribedSampleCount(log), 2000);
}

// The tail wait after a stop runs on the event loop, not as a sleep in it:
// the stop returns before the audio is handed on, the wait's end hands it
// on, and a recording started meanwhile first sends the stopped one off
// whole rather than mixing the two.
TEST_F(CaptureTest, TheTailWaitLeavesTheMainThreadFreeAndKeepsRecordingsApart)
{
    begin(RecordingMode::toggle);
    deliver(std::vector<float>(1600, 0.2f));
    LogCapture log;
    controller->stopRecordingAndTranscribe();
    EXPECT_EQ(transcribedSampleCount(log), -1);
    ASSERT_TRUE(waitFor([&] { return transcribedSampleCount(log) == 1600; }, 5000));
    EXPECT_FALSE(stream().isRunning());

    begin(RecordingMode::toggle);
    deliver(std::vector<float>(800, 0.2f));
    controller->stopRecordingAndTranscribe();
    begin(RecordingMode::toggle);
    EXPECT_EQ(transcribedSampleCount(log), 800);
    deliver(std::vector<float>(300, 0.2f));
    stopAndFinish();
    EXPECT_EQ(transcribedSampleCount(log), 300);
}
