#include "controller/AppDelegate.h"

#include "base/Dispatch.h"
#include "core/config/AppConfig.h"
#include "recording/LivePreviewTimers.h"
#include "recording/RecordingManager.h"
#include "support/FakeAudioCapture.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/SettingsReset.h"

#include <QObject>

#include <gtest/gtest.h>

#include <map>

struct LivePreviewTestAccess {
    static void setEngine(AppDelegate& d, std::shared_ptr<AudioStream> stream) { d.audioEngine = std::move(stream); }
    static bool isStreamingActive(const AppDelegate& d) { return d.isStreamingActive; }
};

namespace {

using Status = SpeechRecognizer::AuthorizationStatus;
using Code = SpeechRecognizer::ErrorCode;

// Stands in for the main queue's timers: delayed work runs only when the
// test moves the clock on.
class FakeClock {
public:
    FakeClock()
    {
        previous = LivePreviewTimers::setScheduler(
            [this](double seconds, Dispatch::Work work) { pending.emplace(now + seconds, std::move(work)); });
    }
    ~FakeClock() { LivePreviewTimers::setScheduler(std::move(previous)); }

    void advance(double seconds)
    {
        const double until = now + seconds + 1e-9;
        while (!pending.empty() && pending.begin()->first <= until) {
            auto next = pending.begin();
            now = next->first;
            Dispatch::Work work = std::move(next->second);
            pending.erase(next);
            work();
            Dispatch::drainMainQueue();
        }
        now = until;
    }
    size_t pendingCount() const { return pending.size(); }

private:
    double now = 0;
    std::multimap<double, Dispatch::Work> pending;
    LivePreviewTimers::Scheduler previous;
};

class LivePreviewTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        AppConfig::setEnableStreamingMode(true);
        recognizer = std::make_shared<FakeSpeechRecognizer>();
        PlatformServices services;
        services.speechRecognizer = recognizer;
        controller = std::make_unique<AppDelegate>(services);
        controller->setupLiveSpeechTranscriber();
        stream = std::make_shared<FakeAudioStream>(AudioStreamFormat{48000, 1});
        stream->start(nullptr);
        LivePreviewTestAccess::setEngine(*controller, stream);
        RecordingManager::shared().setCurrentTranscription(QString());
        connection = QObject::connect(&RecordingManager::shared(), &RecordingManager::currentTranscriptionChanged,
            [this](const QString& text) { published.append(text); });
    }
    void TearDown() override
    {
        QObject::disconnect(connection);
        controller.reset();
        Dispatch::drainMainQueue();
        DefaultsTest::TearDown();
    }

    QString current() const { return RecordingManager::shared().currentTranscription(); }
    bool active() const { return LivePreviewTestAccess::isStreamingActive(*controller); }
    static void drain() { ASSERT_TRUE(Dispatch::drainMainQueue()); }

    FakeClock clock;
    std::shared_ptr<FakeSpeechRecognizer> recognizer;
    std::unique_ptr<AppDelegate> controller;
    std::shared_ptr<FakeAudioStream> stream;
    QMetaObject::Connection connection;
    QStringList published;
};

TEST_F(LivePreviewTest, SwitchedOffItPublishesNothingAndAsksNothing)
{
    AppConfig::setEnableStreamingMode(false);
    recognizer->status = Status::notDetermined;
    controller->startLiveSpeechStreamingIfEnabled();
    drain();
    EXPECT_TRUE(published.isEmpty());
    EXPECT_EQ(recognizer->authorizationRequests, 0);
    EXPECT_EQ(recognizer->taskCount(), 0u);
    EXPECT_FALSE(active());
    EXPECT_EQ(clock.pendingCount(), 0u);
}

TEST_F(LivePreviewTest, PublishesListeningThenTheRunningTextThenProcessing)
{
    controller->startLiveSpeechStreamingIfEnabled();
    EXPECT_EQ(current(), QStringLiteral("Listening..."));
    EXPECT_TRUE(active());
    auto task = recognizer->lastTask();

    task->sendPartial(QStringLiteral("hello"));
    drain();
    EXPECT_EQ(current(), QStringLiteral("hello"));
    task->sendPartial(QString());
    drain();
    EXPECT_EQ(current(), QStringLiteral("Listening..."));
    task->sendPartial(QStringLiteral("hello world"));
    drain();

    controller->stopLiveSpeechStreaming();
    EXPECT_FALSE(active());
    EXPECT_TRUE(task->audioEnded);
    EXPECT_TRUE(task->cancelled);
    EXPECT_EQ(current(), QStringLiteral("Processing..."));

    // Results still on their way are ignored, and the hide and clean-up
    // after 0.8 and 0.3 seconds leave the text alone.
    task->sendFinal(QStringLiteral("late"));
    drain();
    clock.advance(0.8);
    EXPECT_EQ(clock.pendingCount(), 1u);
    clock.advance(0.3);
    EXPECT_EQ(clock.pendingCount(), 0u);
    EXPECT_EQ(current(), QStringLiteral("Processing..."));

    const qsizetype count = published.size();
    controller->stopLiveSpeechStreaming();
    EXPECT_EQ(published.size(), count);
    EXPECT_EQ(published,
        (QStringList{QStringLiteral("Listening..."), QStringLiteral("hello"), QStringLiteral("Listening..."),
            QStringLiteral("hello world"), QStringLiteral("Processing...")}));
}

TEST_F(LivePreviewTest, WaitsForTheEngineToRunAndGivesUpWithoutOne)
{
    stream->stop();
    controller->startLiveSpeechStreamingIfEnabled();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(clock.pendingCount(), 1u);
        clock.advance(0.05);
    }
    EXPECT_TRUE(published.isEmpty());
    stream->start(nullptr);
    clock.advance(0.049);
    EXPECT_TRUE(published.isEmpty());
    clock.advance(0.001);
    EXPECT_EQ(current(), QStringLiteral("Listening..."));
    EXPECT_EQ(clock.pendingCount(), 0u);

    controller->stopLiveSpeechStreaming();
    published.clear();
    LivePreviewTestAccess::setEngine(*controller, nullptr);
    controller->startLiveSpeechStreamingIfEnabled();
    clock.advance(1.0);
    EXPECT_TRUE(published.isEmpty());
    EXPECT_EQ(recognizer->taskCount(), 1u);
}

TEST_F(LivePreviewTest, PermissionIsAskedWhenMissingAndARefusalIsShown)
{
    recognizer->status = Status::notDetermined;
    recognizer->answer = Status::denied;
    controller->startLiveSpeechStreamingIfEnabled();
    drain();
    EXPECT_EQ(recognizer->authorizationRequests, 1);
    EXPECT_EQ(current(), QStringLiteral("Speech recognition not authorized"));
    EXPECT_FALSE(active());
    EXPECT_EQ(recognizer->taskCount(), 0u);
    clock.advance(2.0);
    EXPECT_EQ(current(), QStringLiteral("Speech recognition not authorized"));

    recognizer->status = Status::notDetermined;
    recognizer->answer = Status::authorized;
    controller->startLiveSpeechStreamingIfEnabled();
    drain();
    EXPECT_EQ(recognizer->authorizationRequests, 2);
    EXPECT_EQ(current(), QStringLiteral("Listening..."));
    EXPECT_TRUE(active());
}

TEST_F(LivePreviewTest, AFailedStartIsShownAndTheLaterStopDoesNothing)
{
    recognizer->available = false;
    controller->startLiveSpeechStreamingIfEnabled();
    EXPECT_EQ(current(), QStringLiteral("Failed to start recognition"));
    EXPECT_FALSE(active());
    controller->stopLiveSpeechStreaming();
    clock.advance(2.0);
    EXPECT_EQ(current(), QStringLiteral("Failed to start recognition"));
}

TEST_F(LivePreviewTest, RecognizerErrorsShowAShortTextAndThePreviewStaysActive)
{
    controller->startLiveSpeechStreamingIfEnabled();
    recognizer->lastTask()->sendError(Code::busy);
    drain();
    EXPECT_EQ(current(), QStringLiteral("Speech recognition busy"));
    EXPECT_TRUE(active());

    // A new recording's preview is not disturbed by the old recognition.
    controller->stopLiveSpeechStreaming();
    controller->startLiveSpeechStreamingIfEnabled();
    auto current = recognizer->lastTask();
    current->sendPartial(QStringLiteral("fresh"));
    drain();
    EXPECT_EQ(RecordingManager::shared().currentTranscription(), QStringLiteral("fresh"));
}

TEST(LivePreviewErrorText, OwnErrorsByCaseRecognizerErrorsByCode)
{
    auto text = [](TranscriberError e) { return AppDelegate::getUserFriendlyErrorMessage(e); };
    auto code = [](Code c) { return TranscriberError{SpeechRecognizer::Error{c, QString()}}; };
    EXPECT_EQ(text(SpeechRecognitionError::recognizerUnavailable), QStringLiteral("Speech recognition unavailable"));
    EXPECT_EQ(text(code(Code::audioSessionEnded)), QStringLiteral("Audio session ended"));
    EXPECT_EQ(text(code(Code::modelsUnavailable)),
        QStringLiteral("On-device speech models not available. Enable Dictation in System Settings > Keyboard"));
    EXPECT_EQ(text(code(Code::decodingFailed)), QStringLiteral("Speech recognition error"));
}

} // namespace
