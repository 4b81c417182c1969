#include "recording/LiveSpeechTranscriber.h"

#include "base/Dispatch.h"
#include "platform/sphinx/PocketSphinxRecognizer.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/LogCapture.h"
#include "support/SynthesizedSpeech.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace {

using State = LiveSpeechTranscriber::RecognitionState;
using Code = SpeechRecognizer::ErrorCode;

struct Report {
    enum Kind { partial, final, failure } kind;
    QString text;
    TranscriberError error{SpeechRecognitionError::audioEngineError};
    bool onMainThread = false;
};

class RecordingDelegate : public QObject, public StreamingTranscriberDelegate {
public:
    void transcriberDidReceivePartialResult(LiveSpeechTranscriber&, const QString& text) override
    {
        reports.push_back({Report::partial, text, SpeechRecognitionError::audioEngineError, Dispatch::isMainThread()});
    }
    void transcriberDidReceiveFinalResult(LiveSpeechTranscriber& t, const QString& text) override
    {
        stateAtFinal = t.recognitionState();
        reports.push_back({Report::final, text, SpeechRecognitionError::audioEngineError, Dispatch::isMainThread()});
    }
    void transcriberDidEncounterError(LiveSpeechTranscriber&, const TranscriberError& error) override
    {
        reports.push_back({Report::failure, {}, error, Dispatch::isMainThread()});
    }
    std::vector<Report> reports;
    State stateAtFinal = State::recognizing;
};

class LiveSpeechTranscriberTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        recognizer = std::make_shared<FakeSpeechRecognizer>();
        transcriber = std::make_unique<LiveSpeechTranscriber>(recognizer);
        transcriber->setDelegate(&delegate);
    }
    void TearDown() override
    {
        transcriber.reset();
        Dispatch::drainMainQueue();
    }
    void start()
    {
        ASSERT_FALSE(transcriber->startRecognition().has_value());
        ASSERT_EQ(transcriber->recognitionState(), State::recognizing);
    }
    static void drain() { ASSERT_TRUE(Dispatch::drainMainQueue()); }

    std::shared_ptr<FakeSpeechRecognizer> recognizer;
    std::unique_ptr<LiveSpeechTranscriber> transcriber;
    RecordingDelegate delegate;
};

TEST_F(LiveSpeechTranscriberTest, PartialAndFinalResultsReachTheDelegateOnTheMainThread)
{
    start();
    auto task = recognizer->lastTask();
    std::thread worker([&] {
        task->sendPartial(QStringLiteral("hello"));
        task->sendPartial(QString());
        task->sendFinal(QStringLiteral("hello world"));
    });
    worker.join();
    drain();

    ASSERT_EQ(delegate.reports.size(), 3u);
    EXPECT_EQ(delegate.reports[0].kind, Report::partial);
    EXPECT_EQ(delegate.reports[0].text, QStringLiteral("hello"));
    EXPECT_EQ(delegate.reports[1].kind, Report::partial);
    EXPECT_TRUE(delegate.reports[1].text.isEmpty());
    EXPECT_EQ(delegate.reports[2].kind, Report::final);
    EXPECT_EQ(delegate.reports[2].text, QStringLiteral("hello world"));
    for (const Report& r : delegate.reports)
        EXPECT_TRUE(r.onMainThread);
    // The state is idle before the delegate hears of the final text, and the
    // task is let go afterwards.
    EXPECT_EQ(delegate.stateAtFinal, State::idle);
    EXPECT_TRUE(task->cancelled);
}

TEST_F(LiveSpeechTranscriberTest, StartChecksAuthorizationThenAvailabilityThenTheRequest)
{
    recognizer->status = SpeechRecognizer::AuthorizationStatus::denied;
    recognizer->available = false;
    EXPECT_EQ(transcriber->startRecognition(), SpeechRecognitionError::notAuthorized);
    EXPECT_EQ(recognizer->taskCount(), 0u);

    recognizer->status = SpeechRecognizer::AuthorizationStatus::authorized;
    EXPECT_EQ(transcriber->startRecognition(), SpeechRecognitionError::recognizerUnavailable);

    recognizer->available = true;
    recognizer->refuseTasks = true;
    EXPECT_EQ(transcriber->startRecognition(), SpeechRecognitionError::requestCreationFailed);
    EXPECT_EQ(transcriber->recognitionState(), State::idle);

    LiveSpeechTranscriber withoutRecognizer(nullptr);
    EXPECT_FALSE(withoutRecognizer.isAvailable());
    EXPECT_FALSE(withoutRecognizer.isAuthorized());
}

TEST_F(LiveSpeechTranscriberTest, StartingWhileRecognizingForcesTheOldOneToStop)
{
    LogCapture log;
    start();
    auto first = recognizer->lastTask();
    start();
    auto second = recognizer->lastTask();

    EXPECT_TRUE(log.hasOutLine(
        QStringLiteral("LiveSpeechTranscriber: Recognition not idle (state: recognizing), forcing cleanup")));
    EXPECT_TRUE(first->audioEnded);
    EXPECT_TRUE(first->cancelled);
    EXPECT_NE(first, second);
    EXPECT_FALSE(second->cancelled);
}

TEST_F(LiveSpeechTranscriberTest, LateReportsOfAnEarlierRecognitionNeverTouchTheCurrentOne)
{
    start();
    auto old = recognizer->lastTask();
    old->sendPartial(QStringLiteral("queued before the restart"));
    start();
    auto current = recognizer->lastTask();

    old->sendPartial(QStringLiteral("stale"));
    old->sendFinal(QStringLiteral("stale final"));
    old->sendError(Code::busy);
    drain();

    EXPECT_TRUE(delegate.reports.empty());
    EXPECT_EQ(transcriber->recognitionState(), State::recognizing);
    EXPECT_FALSE(current->cancelled);
    transcriber->appendAudioBuffer(nullptr, 160, 16000, 1);
    EXPECT_EQ(current->appendedBuffers, 1);
}

TEST_F(LiveSpeechTranscriberTest, ErrorsEndTheRecognitionAndOnlySomeAreReported)
{
    for (Code code : {Code::recognitionStopped, Code::audioSessionEnded, Code::busy, Code::modelsUnavailable}) {
        delegate.reports.clear();
        start();
        auto task = recognizer->lastTask();
        task->sendError(code);
        EXPECT_EQ(transcriber->recognitionState(), State::idle);
        EXPECT_TRUE(task->cancelled);
        drain();
        const bool reported = code == Code::busy || code == Code::modelsUnavailable;
        ASSERT_EQ(delegate.reports.size(), reported ? 1u : 0u) << int(code);
        if (reported) {
            auto* error = std::get_if<SpeechRecognizer::Error>(&delegate.reports[0].error);
            ASSERT_NE(error, nullptr);
            EXPECT_EQ(error->code, code);
        }
    }
}

TEST_F(LiveSpeechTranscriberTest, AResultCarryingAnErrorIsHandledAsTheError)
{
    start();
    recognizer->lastTask()->sendResultWithError(QStringLiteral("text"), Code::busy);
    drain();
    ASSERT_EQ(delegate.reports.size(), 1u);
    EXPECT_EQ(delegate.reports[0].kind, Report::failure);
}

TEST_F(LiveSpeechTranscriberTest, FinishEndsTheAudioCancelsAndDropsLaterBuffersAndResults)
{
    start();
    auto task = recognizer->lastTask();
    transcriber->appendAudioBuffer(nullptr, 1024, 48000, 2);
    EXPECT_EQ(task->appendedFrames, 1024);
    EXPECT_EQ(task->lastSampleRate, 48000);
    EXPECT_EQ(task->lastChannels, 2);
    task->sendPartial(QStringLiteral("in flight"));

    transcriber->finishRecognition();
    EXPECT_EQ(transcriber->recognitionState(), State::idle);
    EXPECT_TRUE(task->audioEnded);
    EXPECT_TRUE(task->cancelled);

    transcriber->appendAudioBuffer(nullptr, 1024, 48000, 2);
    task->sendFinal(QStringLiteral("too late"));
    drain();
    EXPECT_EQ(task->appendedBuffers, 1);
    EXPECT_TRUE(delegate.reports.empty());

    // Finishing or stopping an idle transcriber does nothing.
    transcriber->finishRecognition();
    transcriber->stopRecognition();
    EXPECT_EQ(transcriber->recognitionState(), State::idle);
}

TEST_F(LiveSpeechTranscriberTest, LosingTheRecognizerStopsARunningRecognitionOnly)
{
    recognizer->changeAvailability(false);
    drain();
    EXPECT_TRUE(delegate.reports.empty());

    recognizer->available = true;
    start();
    auto task = recognizer->lastTask();
    std::thread worker([&] { recognizer->changeAvailability(false); });
    worker.join();
    EXPECT_EQ(transcriber->recognitionState(), State::idle);
    EXPECT_TRUE(task->cancelled);
    drain();
    ASSERT_EQ(delegate.reports.size(), 1u);
    EXPECT_EQ(
        std::get<SpeechRecognitionError>(delegate.reports[0].error), SpeechRecognitionError::recognizerUnavailable);
    EXPECT_TRUE(delegate.reports[0].onMainThread);
}

TEST_F(LiveSpeechTranscriberTest, AuthorizationAnswersOnTheMainQueueAndOnlyAuthorizedGrants)
{
    using Status = SpeechRecognizer::AuthorizationStatus;
    for (Status status : {Status::authorized, Status::denied, Status::restricted, Status::notDetermined}) {
        recognizer->answer = status;
        std::optional<bool> granted;
        transcriber->requestAuthorization([&](bool g) { granted = g; });
        EXPECT_FALSE(granted.has_value()) << "answered synchronously";
        drain();
        ASSERT_TRUE(granted.has_value());
        EXPECT_EQ(*granted, status == Status::authorized);
    }
    EXPECT_EQ(transcriber->recognitionState(), State::idle);
}

TEST_F(LiveSpeechTranscriberTest, NoCallbackAfterTheDelegateOrTheTranscriberIsGone)
{
    start();
    auto task = recognizer->lastTask();
    {
        auto shortLived = std::make_unique<RecordingDelegate>();
        transcriber->setDelegate(shortLived.get());
        task->sendPartial(QStringLiteral("for nobody"));
    }
    drain();

    transcriber->setDelegate(&delegate);
    task->sendPartial(QStringLiteral("after the end"));
    transcriber.reset();
    EXPECT_TRUE(task->cancelled);
    drain();
    EXPECT_TRUE(delegate.reports.empty());
}

TEST(LiveSpeechTranscriberOnDevice, PartialTextArrivesWhileACaptureThreadFeedsIt)
{
    if (!canSynthesizeSpeech())
        GTEST_SKIP() << "espeak-ng and sox are needed";
    QTemporaryDir dir;
    const auto audio = synthesizeSpeech(dir.path(), QStringLiteral("please write down what I am saying"), 44100, 1);
    ASSERT_FALSE(audio.empty());
    auto recognizer = PocketSphinxRecognizer::forLocale(QLocale(QStringLiteral("en_US")));
    ASSERT_TRUE(recognizer);
    LiveSpeechTranscriber transcriber(recognizer);
    RecordingDelegate delegate;
    transcriber.setDelegate(&delegate);
    ASSERT_FALSE(transcriber.startRecognition().has_value());

    std::thread capture([&] {
        for (size_t at = 0; at < audio.size(); at += 1024)
            transcriber.appendAudioBuffer(
                audio.data() + at, qsizetype(std::min<size_t>(1024, audio.size() - at)), 44100, 1);
    });
    capture.join();
    QDeadlineTimer deadline(60000);
    while (delegate.reports.empty() && !deadline.hasExpired())
        Dispatch::drainMainQueue(100);
    ASSERT_FALSE(delegate.reports.empty());
    for (const Report& r : delegate.reports) {
        EXPECT_EQ(r.kind, Report::partial);
        EXPECT_TRUE(r.onMainThread);
    }

    transcriber.finishRecognition();
    const size_t reported = delegate.reports.size();
    // Whatever the worker still decodes for it is dropped.
    Dispatch::sleepFor(0.2);
    Dispatch::drainMainQueue();
    EXPECT_EQ(delegate.reports.size(), reported);
}

} // namespace
