#include "DictationFixture.h"

#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "core/speech/WhisperModelFile.h"
#include "recording/RecordingManager.h"
#include "support/LogCapture.h"
#include "support/Patience.h"
#include "support/TestSpeech.h"
#include "support/WhisperTestModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <atomic>

namespace {

QList<int> countsIn(const QStringList& lines, const QString& prefix)
{
    QList<int> counts;
    for (const QString& line : lines) {
        if (line.startsWith(prefix))
            counts.append(line.mid(prefix.size()).section(' ', 0, 0).toInt());
    }
    return counts;
}

std::vector<float> silence(double seconds)
{
    return std::vector<float>(static_cast<size_t>(seconds * 16000), 0.0f);
}

std::vector<float> joined(std::initializer_list<std::vector<float>> parts)
{
    std::vector<float> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

class TranscriptionTest : public DictationTest {
protected:
    void SetUp() override
    {
        DictationTest::SetUp();
        RecordingManager::shared().deleteAllRecordings();
        // Greedy single passes keep the random-weight model quick.
        AppConfig::setWhisperBeamSize(1);
        AppConfig::setWhisperBestOf(1);
        AppConfig::setWhisperNoFallback(true);
    }
    void TearDown() override
    {
        DictationTest::TearDown();
        RecordingManager::shared().waitForPendingWork();
        RecordingManager::shared().deleteAllRecordings();
        for (const WhisperModel& model : WhisperModel::allCases())
            QFile::remove(ModelManager::shared().modelPath(model));
    }

    WhisperModel installModel()
    {
        const WhisperModel model = WhisperModel::allCases().front();
        const QString path = ModelManager::shared().modelPath(model);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_FALSE(WhisperTestModel::writeMicro(
            QFileInfo(path).absolutePath(), WhisperTestModel::WeightType::F16, QFileInfo(path).fileName())
                         .isEmpty());
        ModelManager::shared().setActiveModel(model);
        return model;
    }

    // Lets the load that the start began finish.
    void settleModelLoad()
    {
        bool done = false;
        controller->ensureModelLoaded([&done](bool) { done = true; });
        ASSERT_TRUE(waitFor([&] { return done; }));
    }

    QStringList transcribedLines(const LogCapture& log) const
    {
        return log.systemLines().filter("[AppDelegate] performTranscription called with ");
    }
};

TEST_F(TranscriptionTest, DictationIsTranscribedAnnouncedAndArchivedTrimmed)
{
    const WhisperModel model = installModel();
    AppConfig::setEnableRecordingSaving(true);
    const auto audio = joined({silence(1.5), TestSpeech::synthetic(1.5), silence(2.5)});

    LogCapture log;
    begin();
    deliver(audio);
    stopAndFinish();
    ASSERT_TRUE(waitFor([&] { return !transcriptions.isEmpty(); })) << log.systemLines().join("\n").toStdString();

    const QStringList lines = log.systemLines();
    const QList<int> handedOn = countsIn(lines, "[AppDelegate] About to transcribe ");
    ASSERT_EQ(handedOn.size(), 1);
    EXPECT_LT(handedOn[0], static_cast<int>(audio.size())); // the silence around the speech is cut
    EXPECT_EQ(countsIn(lines, "[AppDelegate] performTranscription called with "), handedOn);
    EXPECT_TRUE(lines.contains("[AppDelegate] Calling whisperWrapper.transcribe"));
    ASSERT_FALSE(transcriptions.front().isEmpty());
    EXPECT_TRUE(lines.contains("[AppDelegate] Transcription successful: " + transcriptions.front()));
    const QRegularExpression performance(
        R"(^\[Tallowind Performance\] Audio duration: \d+\.\ds, Transcription time: \d+\.\d\ds, Ratio: [\d.]+x$)");
    EXPECT_EQ(lines.filter(performance).size(), 1);

    RecordingManager::shared().waitForPendingWork();
    const auto saved = RecordingManager::shared().getRecordings();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_DOUBLE_EQ(saved[0].duration, handedOn[0] / 16000.0);
    EXPECT_EQ(saved[0].modelUsed, model.rawValue());
    EXPECT_EQ(saved[0].transcription, transcriptions.front());
    EXPECT_TRUE(waitFor([&] { return controller->statusIconName() == "mic.circle"; }));

    // A second stop has no recording of its own and sends nothing again.
    stopAndFinish();
    Dispatch::drainMainQueue(500);
    EXPECT_EQ(countsIn(log.systemLines(), "[AppDelegate] About to transcribe ").size(), 1);
}

TEST_F(TranscriptionTest, ArchivesUnderUnknownWhenNoModelIsActive)
{
    installModel();
    AppConfig::setEnableRecordingSaving(true);
    begin();
    settleModelLoad();
    ModelManager::shared().setActiveModel(std::nullopt); // the loaded bridge stays
    deliver(joined({TestSpeech::synthetic(1.0), silence(0.5)}));
    stopAndFinish();
    ASSERT_TRUE(waitFor([&] { return !transcriptions.isEmpty(); }));
    RecordingManager::shared().waitForPendingWork();
    const auto saved = RecordingManager::shared().getRecordings();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].modelUsed, "unknown");
}

// Whoever hears "TranscriptionUpdated" and then waits for the archive finds
// the recording there: its save is queued before the announcement.
TEST_F(TranscriptionTest, TheSaveIsQueuedBeforeTheAnnouncement)
{
    installModel();
    AppConfig::setEnableRecordingSaving(true);
    begin();
    settleModelLoad();
    std::optional<qsizetype> savedWhenAnnounced;
    NotificationObservation observation("TranscriptionUpdated", [&](const Notification&) {
        RecordingManager::shared().waitForPendingWork();
        savedWhenAnnounced = RecordingManager::shared().getRecordings().size();
    });
    deliver(joined({TestSpeech::synthetic(1.0), silence(0.5)}));
    stopAndFinish();
    ASSERT_TRUE(waitFor([&] { return savedWhenAnnounced.has_value(); }));
    EXPECT_EQ(savedWhenAnnounced, 1);
}

// Stopped while the first load still runs: each recording waits its turn.
TEST_F(TranscriptionTest, RecordingsParkedBehindALoadAreTranscribedInOrder)
{
    installModel();
    AppConfig::setVadSegmentationMode("off");
    LogCapture log;

    begin();
    deliver(TestSpeech::synthetic(1.5));
    stopAndFinish();
    begin();
    deliver(TestSpeech::synthetic(2.0));
    stopAndFinish();
    EXPECT_EQ(log.systemLines().count("[AppDelegate] Model is loading, queueing transcription"), 2);

    ASSERT_TRUE(waitFor([&] { return transcribedLines(log).size() == 2; }));
    EXPECT_EQ(
        countsIn(log.systemLines(), "[AppDelegate] performTranscription called with "), (QList<int>{24000, 32000}));
    EXPECT_TRUE(waitFor([&] {
        const QStringList lines = log.systemLines();
        return lines.filter("[AppDelegate] Transcription successful: ").size()
            + lines.count("[AppDelegate] Transcription returned nil")
            == 2;
    }));
}

// Quick dictations in a row: each is transcribed after the one before has
// finished, so the texts reach the focused window in the order spoken.
TEST_F(TranscriptionTest, QuickDictationsAreTranscribedOneAfterTheOtherInOrder)
{
    installModel();
    begin();
    settleModelLoad();
    LogCapture log;

    const QList<int> lengths{16000, 20800, 25600};
    for (int samples : lengths)
        controller->performTranscription(
            std::vector<float>(static_cast<size_t>(samples), 0.01f), 16000, RecordingMode::pushToTalk);

    const auto finished = [](const QString& line) {
        return line.startsWith("[AppDelegate] Transcription successful: ")
            || line == "[AppDelegate] Transcription returned nil";
    };
    ASSERT_TRUE(waitFor(
        [&] {
            const QStringList lines = log.systemLines();
            return std::count_if(lines.begin(), lines.end(), finished) == lengths.size();
        },
        Patience::transcription));
    QStringList steps;
    for (const QString& line : log.systemLines()) {
        if (line == "[AppDelegate] Calling whisperWrapper.transcribe")
            steps.append("start");
        else if (finished(line))
            steps.append("end");
    }
    const QStringList oneAtATime{"start", "end", "start", "end", "start", "end"};
    EXPECT_EQ(steps, oneAtATime);
    EXPECT_EQ(countsIn(log.systemLines(), "[AppDelegate] performTranscription called with "), lengths);
    const QStringList durations = log.systemLines().filter("[Tallowind Performance] Audio duration: ");
    const QStringList expected{"1.0s", "1.3s", "1.6s"};
    ASSERT_EQ(durations.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(durations[i].contains("Audio duration: " + expected[i])) << durations[i].toStdString();
}

// A studio start within the tail wait of a toggle dictation: the dictation
// keeps its mode and is typed, not kept in the studio.
TEST_F(TranscriptionTest, AStartDuringTheTailWaitLeavesTheStoppedDictationItsMode)
{
    installModel();
    const auto keys = std::static_pointer_cast<FakeKeySynthesizer>(services.keySynthesizer);
    begin(RecordingMode::toggle);
    settleModelLoad();
    deliver(joined({TestSpeech::synthetic(1.0), silence(0.5)}));
    controller->stopRecordingAndTranscribe();
    controller->startStudioRecording();
    ASSERT_TRUE(waitFor([&] { return !transcriptions.isEmpty(); }));
    EXPECT_TRUE(waitFor([&] { return keys->chordCount() == 1; }));
    controller->cancelRecording();
}

TEST_F(TranscriptionTest, WithoutAModelNothingIsTranscribedAndTheIconGoesIdle)
{
    LogCapture log;
    begin();
    settleModelLoad();
    deliver(joined({TestSpeech::synthetic(1.0), silence(0.5)}));
    stopAndFinish();
    ASSERT_TRUE(waitFor([&] { return log.hasSystemLine("[AppDelegate] Failed to ensure model loaded"); }));
    EXPECT_TRUE(waitFor([&] { return controller->statusIconName() == "mic.circle"; }));
    EXPECT_TRUE(transcribedLines(log).isEmpty());
}

// A failed load keeps what was parked behind it, with the icon idle and the
// user told. The next load that succeeds hands it over ahead of the dictation
// that brought that load, each in its own mode, and leaves the recording icon
// to a recording that runs meanwhile.
TEST_F(TranscriptionTest, RecordingsParkedBehindAFailedLoadWaitForTheNextGoodLoad)
{
    AppConfig::setVadSegmentationMode("off");
    const auto keys = std::static_pointer_cast<FakeKeySynthesizer>(services.keySynthesizer);
    LogCapture log;
    begin(RecordingMode::pushToTalk);
    deliver(TestSpeech::synthetic(1.5));
    stopAndFinish();
    ASSERT_TRUE(log.hasSystemLine("[AppDelegate] Model is loading, queueing transcription"));
    settleModelLoad();
    EXPECT_TRUE(waitFor([&] { return controller->statusIconName() == "mic.circle"; }));
    EXPECT_EQ(alerts->shown.size(), 1u);

    // A studio recording whose own start finds no model either; the model
    // arrives before it ends.
    begin(RecordingMode::studio);
    settleModelLoad();
    EXPECT_EQ(statusIcon(), "mic.circle.fill");
    installModel();
    deliver(TestSpeech::synthetic(2.0));
    // A toggle dictation starts within the tail wait and ends the stop: the
    // hand-over runs while it records.
    controller->stopRecordingAndTranscribe();
    begin(RecordingMode::toggle);
    ASSERT_TRUE(waitFor([&] { return transcriptions.size() == 2; })) << log.systemLines().join("\n").toStdString();
    EXPECT_EQ(statusIcon(), "mic.circle.fill");
    EXPECT_TRUE(waitFor([&] { return keys->chordCount() == 1; }));
    stopAndFinish();
    EXPECT_EQ(statusIcon(), "mic.circle");
    settleModelLoad();
    Dispatch::drainMainQueue(500, true);
    EXPECT_EQ(transcriptions.size(), 2);
    EXPECT_EQ(transcribedLines(log).size(), 2);
    EXPECT_EQ(
        countsIn(log.systemLines(), "[AppDelegate] performTranscription called with "), (QList<int>{24000, 32000}));
    EXPECT_EQ(keys->chordCount(), 1) << "only the push-to-talk dictation is typed";
    EXPECT_EQ(alerts->shown.size(), 1u);
}

TEST_F(TranscriptionTest, SilentRecordingIsDroppedWithANoticeWhenSegmentationIsOff)
{
    installModel();
    AppConfig::setEnableVoiceActivityDetection(false);
    LogCapture log;
    begin();
    deliver(std::vector<float>(16000, 0.0005f));
    stopAndFinish();
    EXPECT_TRUE(log.hasSystemLine("[VAD] Audio is silent (max amplitude: 0.000500)"));
    Dispatch::drainMainQueue();
    EXPECT_EQ(RecordingManager::shared().currentTranscription(), "No audio detected");
    EXPECT_TRUE(countsIn(log.systemLines(), "[AppDelegate] About to transcribe ").isEmpty());
    EXPECT_EQ(statusIcon(), "mic.circle");
}

// The loaded bridge follows the model store: after a switch or a deletion
// the next dictation loads what is active now (here: nothing usable).
TEST_F(TranscriptionTest, ASwitchedOrDeletedModelIsNotKeptLoaded)
{
    const auto dictateExpectingNoModel = [this] {
        LogCapture log;
        begin();
        deliver(joined({TestSpeech::synthetic(1.0), silence(0.5)}));
        stopAndFinish();
        // Stopped before or after the load the start began has failed.
        EXPECT_TRUE(waitFor([&] {
            return log.hasSystemLine("[AppDelegate] Failed to ensure model loaded")
                || log.hasSystemLine(
                    "[AppDelegate] Model failed to load, queued transcriptions wait for the next load");
        })) << log.systemLines().join("\n").toStdString();
        settleModelLoad();
        EXPECT_TRUE(transcribedLines(log).isEmpty());
    };

    const WhisperModel first = installModel();
    controller->applicationDidFinishLaunching();
    begin();
    settleModelLoad();
    controller->cancelRecording();

    // Switched to a model whose file whisper.cpp cannot read.
    const WhisperModel second = WhisperModel::allCases().at(1);
    QFile junk(ModelManager::shared().modelPath(second));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    bool switched = false;
    ModelManager::shared().switchModel(second, [&](std::optional<TallowindError> error) { switched = !error; });
    ASSERT_TRUE(switched);
    dictateExpectingNoModel();

    // Back on the working model, then deleted with no other model to fall to.
    ASSERT_TRUE(QFile::remove(ModelManager::shared().modelPath(second)));
    ModelManager::shared().setActiveModel(first);
    begin();
    settleModelLoad();
    controller->cancelRecording();
    bool deleted = false;
    ModelManager::shared().deleteModelAsync(first, [&](std::optional<DomainError> error) { deleted = !error; });
    ASSERT_TRUE(deleted);
    dictateExpectingNoModel();
}

// A dictation held up by a model that cannot be loaded tells the user,
// once, which file failed and why.
TEST_F(TranscriptionTest, ADictationHeldUpByABrokenModelIsExplainedOnce)
{
    const WhisperModel model = WhisperModel::allCases().front();
    const QString path = ModelManager::shared().modelPath(model);
    QDir().mkpath(QFileInfo(path).absolutePath());
    {
        QFile junk(path);
        ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
    }
    ModelManager::shared().setActiveModel(model);
    alerts->defaultResponse = 0; // "Open Settings", not "Quit"

    const auto dictate = [this] {
        LogCapture log;
        begin();
        deliver(joined({TestSpeech::synthetic(1.0), silence(0.5)}));
        stopAndFinish();
        EXPECT_TRUE(waitFor([&] {
            return log.hasSystemLine("[AppDelegate] Failed to ensure model loaded")
                || log.hasSystemLine(
                    "[AppDelegate] Model failed to load, queued transcriptions wait for the next load");
        }));
        settleModelLoad();
        Dispatch::drainMainQueue(200);
    };
    dictate();
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].messageText, "Model Loading Failed");
    const QString reason = whisperModelFileProblem(path).value_or(QString());
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_TRUE(alerts->shown[0].informativeText.contains(path + ": " + reason))
        << alerts->shown[0].informativeText.toStdString();

    dictate();
    EXPECT_EQ(alerts->shown.size(), 1u);
    EXPECT_TRUE(transcriptions.isEmpty());
}

// The model changes between a successful load and the job that needs it:
// the recording waits for the next load instead of being dropped.
TEST_F(TranscriptionTest, ADictationThatFindsNoModelLoadedWaitsForTheNextLoad)
{
    installModel();
    begin();
    settleModelLoad();
    std::atomic<bool> switched = false;
    const int sink = Log::addSink([&](Log::Stream, const QString& line) {
        // On the main thread, just before the job leaves for its queue.
        if (line.startsWith("[AppDelegate] performTranscription called with ") && !switched.exchange(true)) {
            controller->activeModelChanged();
        }
    });
    LogCapture log;
    deliver(joined({TestSpeech::synthetic(1.5), silence(0.5)}));
    stopAndFinish();
    const bool transcribed = waitFor([&] { return !transcriptions.isEmpty(); });
    Log::removeSink(sink);
    EXPECT_TRUE(switched);
    EXPECT_TRUE(transcribed) << log.systemLines().join("\n").toStdString();
    EXPECT_TRUE(log.hasSystemLine("[AppDelegate] Model changed before the transcription began, queueing it again"));
    EXPECT_EQ(transcribedLines(log).size(), 2);
}
