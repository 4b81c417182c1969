#include "recording/RecordingManager.h"

#include "base/Dispatch.h"
#include "base/NotificationCenter.h"
#include "core/speech/ModelManager.h"
#include "support/FakeAudioCapture.h"
#include "support/FakeMicrophonePermission.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>

namespace {

using CaptureError = RecordingManager::CaptureError;

struct Outcome {
    bool finished = false;
    QString text;
    std::optional<CaptureError> error;
};

bool isTallowindError(const std::optional<CaptureError>& error, TallowindError expected)
{
    if (!error)
        return false;
    const auto* own = std::get_if<TallowindError>(&*error);
    return own && *own == expected;
}

class RecordingManagerCaptureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        capture = std::make_shared<FakeAudioCapture>();
        permission = std::make_shared<FakeMicrophonePermission>();
        manager().setCaptureServices(capture, permission);
        manager().setCurrentTranscription(QString());
        manager().setAudioLevel(0.0f);
        Dispatch::drainMainQueue();
    }
    void TearDown() override
    {
        // Leave no recording behind for the next test.
        if (manager().isRecording())
            manager().cancelRecording({});
        manager().stopAudioLevelSimulation();
        manager().setCaptureServices(nullptr, nullptr);
        Dispatch::drainMainQueue();
    }
    static RecordingManager& manager() { return RecordingManager::shared(); }

    Outcome start()
    {
        Outcome outcome;
        manager().startRecording([&](const std::optional<CaptureError>& error) {
            outcome.finished = true;
            outcome.error = error;
        });
        Dispatch::drainMainQueue();
        return outcome;
    }
    Outcome stop(bool complete = false)
    {
        Outcome outcome;
        auto done = [&](const QString& text, const std::optional<CaptureError>& error) {
            outcome.finished = true;
            outcome.text = text;
            outcome.error = error;
        };
        complete ? manager().completeRecording(done) : manager().stopRecording(done);
        return outcome;
    }
    Outcome cancel()
    {
        Outcome outcome;
        manager().cancelRecording([&](const std::optional<CaptureError>& error) {
            outcome.finished = true;
            outcome.error = error;
        });
        return outcome;
    }

    std::shared_ptr<FakeAudioCapture> capture;
    std::shared_ptr<FakeMicrophonePermission> permission;
};

TEST_F(RecordingManagerCaptureTest, RecordsConvertedSamplesAndStopsWithThePlaceholderText)
{
    capture->format = {48000, 2};
    ASSERT_FALSE(start().error.has_value());
    EXPECT_TRUE(manager().isRecording());
    auto stream = capture->lastStream();
    EXPECT_TRUE(stream->isRunning());
    for (int i = 0; i < 10; ++i)
        stream->deliver(std::vector<float>(2048, 0.01f)); // 1024 stereo frames
    const size_t samples = manager().capturedAudio().size();
    // 10 buffers of 1024 frames at 48 kHz are about 3413 samples at 16 kHz.
    EXPECT_NEAR(double(samples), 3413.0, 64.0);

    const Outcome stopped = stop();
    ASSERT_TRUE(stopped.finished);
    EXPECT_FALSE(stopped.error.has_value());
    EXPECT_EQ(stopped.text, QStringLiteral("Transcribed audio: %1 samples recorded").arg(samples));
    EXPECT_EQ(manager().currentTranscription(), stopped.text);
    EXPECT_FALSE(manager().isRecording());
    EXPECT_FALSE(stream->isRunning());
    EXPECT_FALSE(stream->hasTap());
    // The samples stay until the next set-up.
    EXPECT_EQ(manager().capturedAudio().size(), samples);
}

TEST_F(RecordingManagerCaptureTest, PublishesTheLevelOfEachBuffer)
{
    capture->format = {16000, 1};
    ASSERT_FALSE(start().error.has_value());
    auto stream = capture->lastStream();
    stream->deliver(std::vector<float>(1024, 0.05f));
    Dispatch::drainMainQueue();
    EXPECT_NEAR(manager().audioLevel(), 0.5f, 1e-5);
    stream->deliver(std::vector<float>(1024, -0.2f));
    Dispatch::drainMainQueue();
    EXPECT_FLOAT_EQ(manager().audioLevel(), 1.0f);
    stream->deliver(std::vector<float>(1024, 0.0f));
    Dispatch::drainMainQueue();
    EXPECT_FLOAT_EQ(manager().audioLevel(), 0.0f);
}

TEST_F(RecordingManagerCaptureTest, MicrophonePermissionIsAskedWhenUndecidedAndARefusalFailsTheStart)
{
    permission->authorization = MicrophoneAuthorization::NotDetermined;
    Outcome outcome;
    manager().startRecording([&](const std::optional<CaptureError>& error) {
        outcome.finished = true;
        outcome.error = error;
    });
    EXPECT_EQ(permission->requests, 1);
    EXPECT_FALSE(outcome.finished);
    permission->answer(false);
    Dispatch::drainMainQueue();
    ASSERT_TRUE(outcome.finished);
    ASSERT_TRUE(outcome.error.has_value());
    const auto* denied = std::get_if<DomainError>(&*outcome.error);
    ASSERT_NE(denied, nullptr);
    EXPECT_EQ(*denied, (DomainError{QStringLiteral("Tallowind"), 1, QStringLiteral("Microphone access denied")}));
    EXPECT_FALSE(manager().isRecording());
    EXPECT_TRUE(capture->streams.empty());

    permission->authorization = MicrophoneAuthorization::Restricted;
    EXPECT_TRUE(start().error.has_value());
    EXPECT_EQ(permission->requests, 1);
}

TEST_F(RecordingManagerCaptureTest, SetUpAndStartFailuresReachTheCaller)
{
    manager().setCaptureServices(nullptr, permission);
    EXPECT_TRUE(isTallowindError(
        start().error, TallowindError::audioEngineSetupFailed(QStringLiteral("Failed to create audio engine"))));

    manager().setCaptureServices(capture, permission);
    capture->format = {0, 0};
    EXPECT_TRUE(isTallowindError(
        start().error, TallowindError::audioEngineSetupFailed(QStringLiteral("Failed to get input format"))));

    capture->format = {44100, 1};
    capture->nextStartError = QStringLiteral("device busy");
    const Outcome refused = start();
    ASSERT_TRUE(refused.error.has_value());
    const auto* engineError = std::get_if<DomainError>(&*refused.error);
    ASSERT_NE(engineError, nullptr);
    EXPECT_EQ(engineError->localizedDescription, QStringLiteral("device busy"));
    EXPECT_FALSE(manager().isRecording());
    // Set up but not recording; the next start tears it down first.
    EXPECT_TRUE(capture->lastStream()->hasTap());
    capture->nextStartError.clear();
    auto refusedStream = capture->lastStream();
    ASSERT_FALSE(start().error.has_value());
    EXPECT_FALSE(refusedStream->hasTap());
}

TEST_F(RecordingManagerCaptureTest, WithoutARecordingStopCompleteAndCancelChangeNothing)
{
    int cancellations = 0;
    NotificationObservation observer(
        NotificationName::recordingCancelled, [&](const Notification&) { ++cancellations; });
    manager().setCurrentTranscription(QStringLiteral("kept"));
    const auto noRecording = TallowindError::recordingFailed(QStringLiteral("No active recording"));
    EXPECT_TRUE(isTallowindError(stop().error, noRecording));
    EXPECT_TRUE(isTallowindError(stop(true).error, noRecording));
    EXPECT_TRUE(isTallowindError(cancel().error, noRecording));
    EXPECT_EQ(cancellations, 0);
    EXPECT_EQ(manager().currentTranscription(), QStringLiteral("kept"));
}

TEST_F(RecordingManagerCaptureTest, StopBeforeAnyBufferReportsAnEmptyResult)
{
    ASSERT_FALSE(start().error.has_value());
    const Outcome stopped = stop();
    EXPECT_TRUE(isTallowindError(stopped.error, TallowindError::emptyTranscriptionResult()));
    EXPECT_FALSE(manager().isRecording());
    EXPECT_EQ(manager().currentTranscription(), QString());
    EXPECT_FALSE(capture->lastStream()->isRunning());
}

TEST_F(RecordingManagerCaptureTest, CancelTearsDownClearsTheTextAndAnnouncesIt)
{
    int cancellations = 0;
    NotificationObservation observer(NotificationName::recordingCancelled, [&](const Notification& n) {
        ++cancellations;
        EXPECT_TRUE(n.userInfo.isEmpty());
    });
    ASSERT_FALSE(start().error.has_value());
    auto stream = capture->lastStream();
    stream->deliver(std::vector<float>(320, 0.1f));
    manager().setCurrentTranscription(QStringLiteral("something"));
    ASSERT_FALSE(cancel().error.has_value());
    EXPECT_EQ(cancellations, 1);
    EXPECT_FALSE(manager().isRecording());
    EXPECT_EQ(manager().currentTranscription(), QString());
    EXPECT_FALSE(stream->isRunning());
    EXPECT_FALSE(stream->hasTap());
    EXPECT_EQ(manager().capturedAudio().size(), 320u);
}

TEST_F(RecordingManagerCaptureTest, ASecondStartReplacesTheFirstStreamAndItsSamples)
{
    ASSERT_FALSE(start().error.has_value());
    auto first = capture->lastStream();
    first->deliver(std::vector<float>(320, 0.1f));
    ASSERT_FALSE(start().error.has_value());
    auto second = capture->lastStream();
    EXPECT_NE(first, second);
    EXPECT_FALSE(first->hasTap());
    EXPECT_FALSE(first->isRunning());
    EXPECT_TRUE(second->hasTap());
    EXPECT_TRUE(manager().capturedAudio().empty());
}

TEST_F(RecordingManagerCaptureTest, LevelSimulationStaysInRangeUntilStopped)
{
    std::vector<float> levels;
    auto connection = QObject::connect(
        &manager(), &RecordingManager::audioLevelChanged, [&](float level) { levels.push_back(level); });
    manager().startAudioLevelSimulation();
    ASSERT_NE(manager().audioLevelTimer(), nullptr);
    EXPECT_EQ(manager().audioLevelTimer()->interval(), 50);
    ASSERT_TRUE(QTest::qWaitFor([&] { return levels.size() >= 5; }, 5000));
    for (float level : levels) {
        EXPECT_GE(level, 0.1f);
        EXPECT_LE(level, 1.0f);
    }
    manager().stopAudioLevelSimulation();
    EXPECT_EQ(manager().audioLevelTimer(), nullptr);
    EXPECT_EQ(manager().audioLevel(), 0.0f);
    levels.clear();
    QTest::qWait(120);
    Dispatch::drainMainQueue();
    EXPECT_TRUE(levels.empty());
    QObject::disconnect(connection);
}

} // namespace
