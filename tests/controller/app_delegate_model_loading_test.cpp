#include "base/Dispatch.h"
#include "base/NotificationCenter.h"
#include "controller/AppDelegate.h"
#include "core/speech/ModelManager.h"
#include "core/speech/WhisperModelFile.h"
#include "core/speech/WhisperWrapper.h"
#include "platform/AlertPresenter.h"
#include "popover/PopoverViewModel.h"
#include "settings/SettingsViewModel.h"
#include "support/LogCapture.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/WhisperTestModel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <QSet>

#include <algorithm>

#include <atomic>
#include <memory>
#include <vector>

class ModelLoadingTestAccess {
public:
    static bool hasBridge(AppDelegate& controller)
    {
        std::lock_guard lock(controller.modelMutex);
        return controller.whisperWrapper != nullptr;
    }
    static bool isLoading(const AppDelegate& controller) { return controller.isLoadingModel.load(); }
    static void park(AppDelegate& controller, size_t sampleCount)
    {
        std::lock_guard lock(controller.modelMutex);
        controller.pendingTranscriptions.push_back(
            {std::vector<float>(sampleCount, 0.0f), 16000.0, RecordingMode::pushToTalk});
    }
    static size_t parkedCount(AppDelegate& controller)
    {
        std::lock_guard lock(controller.modelMutex);
        return controller.pendingTranscriptions.size();
    }
};

namespace {

using Access = ModelLoadingTestAccess;

// A controller with no desktop services, an empty settings store and an
// empty models folder; one micro model is generated for the whole suite and
// copied to catalogue file names as a test needs.
class ModelLoadingTest : public DefaultsTest {
protected:
    static void SetUpTestSuite()
    {
        modelFolder = new QTemporaryDir;
        microModelPath = WhisperTestModel::writeMicro(modelFolder->path(), WhisperTestModel::WeightType::Q8_0);
    }
    static void TearDownTestSuite() { delete modelFolder; }

    void SetUp() override
    {
        DefaultsTest::SetUp();
        ASSERT_FALSE(microModelPath.isEmpty());
        clearModelsFolder();
        appDelegate = std::make_unique<AppDelegate>(PlatformServices{});
    }
    void TearDown() override
    {
        appDelegate.reset();
        Dispatch::drainMainQueue();
        clearModelsFolder();
        DefaultsTest::TearDown();
    }

    static void clearModelsFolder()
    {
        QDir models(ModelManager::shared().modelsDirectory());
        models.removeRecursively();
        QDir().mkpath(models.path());
    }
    static void install(WhisperModel model)
    {
        const QString path = ModelManager::shared().modelPath(model);
        QFile::remove(path);
        ASSERT_TRUE(QFile::copy(microModelPath, path));
    }
    static void installBytes(WhisperModel model, qsizetype size)
    {
        QFile file(ModelManager::shared().modelPath(model));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(QByteArray(size, 'x')), size);
    }

    // Asks for the model and runs the main queue until the answer arrives.
    std::optional<bool> load()
    {
        std::optional<bool> answer;
        appDelegate->ensureModelLoaded([&answer](bool loaded) { answer = loaded; });
        waitFor([&] { return answer.has_value(); });
        return answer;
    }
    static void waitFor(const std::function<bool()>& done)
    {
        QDeadlineTimer deadline(Patience::transcription);
        while (!done() && !deadline.hasExpired())
            Dispatch::drainMainQueue(20);
    }

    static inline QTemporaryDir* modelFolder = nullptr;
    static inline QString microModelPath;
    std::unique_ptr<AppDelegate> appDelegate;
};

} // namespace

TEST_F(ModelLoadingTest, NothingDownloadedAnswersFalse)
{
    EXPECT_EQ(load(), false);
    EXPECT_FALSE(ModelManager::shared().activeModel().has_value());
    EXPECT_FALSE(Access::isLoading(*appDelegate));
    EXPECT_FALSE(Access::hasBridge(*appDelegate));
}

TEST_F(ModelLoadingTest, FirstDownloadedModelBecomesActiveAndStaysLoaded)
{
    install(WhisperModel::largeV3);
    install(WhisperModel::largeV3TurboQ8);
    EXPECT_EQ(load(), true);
    EXPECT_EQ(ModelManager::shared().activeModel(), WhisperModel(WhisperModel::largeV3TurboQ8));
    EXPECT_TRUE(Access::hasBridge(*appDelegate));

    // Loaded: the answer comes at once, whatever the active model now is.
    ModelManager::shared().setActiveModel(WhisperModel::largeV3);
    bool answeredInline = false;
    appDelegate->ensureModelLoaded([&answeredInline](bool loaded) { answeredInline = loaded; });
    EXPECT_TRUE(answeredInline);
}

TEST_F(ModelLoadingTest, ActiveModelWithoutFileIsRepaired)
{
    ModelManager::shared().setActiveModel(WhisperModel::largeV3Turbo);
    install(WhisperModel::largeV3TurboQ5);
    EXPECT_EQ(load(), true);
    EXPECT_EQ(ModelManager::shared().activeModel(), WhisperModel(WhisperModel::largeV3TurboQ5));
}

TEST_F(ModelLoadingTest, ActiveModelWithoutFileAndNoOtherIsCleared)
{
    ModelManager::shared().setActiveModel(WhisperModel::largeV3Turbo);
    EXPECT_EQ(load(), false);
    EXPECT_FALSE(ModelManager::shared().activeModel().has_value());
}

TEST_F(ModelLoadingTest, TooSmallOrBrokenFilesFailAndALaterRequestTriesAgain)
{
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ5);
    installBytes(WhisperModel::largeV3TurboQ5, 999);
    EXPECT_EQ(load(), false);
    installBytes(WhisperModel::largeV3TurboQ5, 1000); // passes the size gate, fails to load
    EXPECT_EQ(load(), false);
    EXPECT_FALSE(Access::hasBridge(*appDelegate));
    EXPECT_FALSE(Access::isLoading(*appDelegate));

    install(WhisperModel::largeV3TurboQ5);
    EXPECT_EQ(load(), true);
    EXPECT_TRUE(Access::hasBridge(*appDelegate));
}

TEST_F(ModelLoadingTest, RequestsDuringALoadWaitAndAnswerInOrder)
{
    install(WhisperModel::largeV3TurboQ5);
    std::vector<std::pair<int, bool>> answers;
    std::vector<bool> loadingWhenAnswered;
    for (int call = 0; call < 3; ++call) {
        appDelegate->ensureModelLoaded([&, call](bool loaded) {
            answers.emplace_back(call, loaded);
            loadingWhenAnswered.push_back(Access::isLoading(*appDelegate));
        });
    }
    waitFor([&] { return answers.size() == 3; });
    ASSERT_EQ(answers.size(), 3u);
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(answers[static_cast<size_t>(call)], std::make_pair(call, true));
        EXPECT_FALSE(loadingWhenAnswered[static_cast<size_t>(call)]);
    }
}

TEST_F(ModelLoadingTest, ALoadStartedAsAFailedOneEndsDoesNotStrandItsWaiters)
{
    // Nothing on disk: every load fails. The first answer starts a new load
    // at once, while a caller still waits on the first one.
    std::optional<bool> first, waiting, again;
    appDelegate->ensureModelLoaded([&](bool loaded) {
        first = loaded;
        appDelegate->ensureModelLoaded([&](bool loadedAgain) { again = loadedAgain; });
    });
    appDelegate->ensureModelLoaded([&](bool loaded) { waiting = loaded; });
    waitFor([&] { return first && waiting && again; });
    EXPECT_EQ(first, false);
    EXPECT_EQ(waiting, false);
    EXPECT_EQ(again, false);
    EXPECT_FALSE(Access::isLoading(*appDelegate));
}

TEST_F(ModelLoadingTest, ParkedRecordingsWaitForASuccessfulLoad)
{
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ5);
    installBytes(WhisperModel::largeV3TurboQ5, 500);
    // Under 100 ms each: whisper.cpp decodes nothing, so no text follows.
    Access::park(*appDelegate, 800);
    Access::park(*appDelegate, 960);
    EXPECT_EQ(load(), false);
    EXPECT_EQ(Access::parkedCount(*appDelegate), 2u);

    install(WhisperModel::largeV3TurboQ5);
    LogCapture log;
    EXPECT_EQ(load(), true);
    waitFor([&] { return log.systemLines().filter("performTranscription called with").size() >= 2; });
    const QStringList handed = log.systemLines().filter("performTranscription called with");
    ASSERT_GE(handed.size(), 2);
    EXPECT_EQ(handed[0], "[AppDelegate] performTranscription called with 800 samples");
    EXPECT_EQ(handed[1], "[AppDelegate] performTranscription called with 960 samples");
    EXPECT_EQ(Access::parkedCount(*appDelegate), 0u);
}

TEST_F(ModelLoadingTest, ControllerGoneBeforeTheLoadAnswersFalse)
{
    install(WhisperModel::largeV3TurboQ5);
    std::optional<bool> answer;
    appDelegate->ensureModelLoaded([&answer](bool loaded) { answer = loaded; });
    // Destruction waits for a load already running, never races it.
    appDelegate.reset();
    waitFor([&] { return answer.has_value(); });
    EXPECT_EQ(answer, false);
}

namespace {

class RecordingAlertPresenter : public AlertPresenter {
public:
    int runModal(const Alert& alert) override
    {
        shown.push_back(alert);
        return response;
    }
    void stopPresenting() override { }
    std::vector<Alert> shown;
    int response = 0;
};

} // namespace

TEST_F(ModelLoadingTest, ModelErrorAlertOffersSettingsOrQuit)
{
    auto alerts = std::make_shared<RecordingAlertPresenter>();
    PlatformServices services;
    services.alertPresenter = alerts;
    AppDelegate controller(services);

    controller.showModelError(QStringLiteral("The model file is damaged."));
    EXPECT_TRUE(alerts->shown.empty()); // shown from the main queue
    waitFor([&] { return !alerts->shown.empty(); });
    ASSERT_EQ(alerts->shown.size(), 1u);
    const Alert& alert = alerts->shown.front();
    EXPECT_EQ(alert.messageText, "Model Loading Failed");
    EXPECT_EQ(alert.informativeText, "The model file is damaged.");
    EXPECT_EQ(alert.style, AlertStyle::Critical);
    EXPECT_EQ(alert.buttons, QStringList({"Open Settings", "Quit"}));
}

// Escape or the window's close button answer no button (-1): the tool must
// keep running. Only the "Quit" button ends it.
TEST_F(ModelLoadingTest, OnlyTheQuitButtonOfTheModelErrorEndsTheTool)
{
    const auto exitCodeAfterAnswer = [](int response) {
        auto alerts = std::make_shared<RecordingAlertPresenter>();
        alerts->response = response;
        PlatformServices services;
        services.alertPresenter = alerts;
        AppDelegate controller(services);
        controller.showModelError(QStringLiteral("The model file is damaged."));
        // A quit from the answer ends the loop before this timer sees it.
        QTimer answered;
        QObject::connect(&answered, &QTimer::timeout, [&] {
            if (!alerts->shown.empty())
                QCoreApplication::exit(7);
        });
        answered.start(5);
        return QCoreApplication::exec();
    };
    EXPECT_EQ(exitCodeAfterAnswer(-1), 7);
    EXPECT_EQ(exitCodeAfterAnswer(1), 0);
}

TEST_F(ModelLoadingTest, WithoutAModelTheExpectedPlaceIsLogged)
{
    LogCapture log;
    EXPECT_EQ(load(), false);
    EXPECT_TRUE(log.hasSystemLine(
        "[AppDelegate] No model found: expected a model file in " + ModelManager::shared().modelsDirectory()))
        << log.systemLines().join("\n").toStdString();

    // An active model whose file is gone, with nothing to fall back to.
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ5);
    EXPECT_EQ(load(), false);
    EXPECT_TRUE(log.hasSystemLine("[AppDelegate] No model found: expected the model file "
        + ModelManager::shared().modelPath(WhisperModel::largeV3TurboQ5)));
}

// An empty file, a folder and a file of another kind each log the path and
// the reason the file check gives.
TEST_F(ModelLoadingTest, AModelThatCannotBeLoadedLogsItsPathAndTheReason)
{
    const WhisperModel model = WhisperModel::largeV3TurboQ5;
    const QString path = ModelManager::shared().modelPath(model);
    ModelManager::shared().setActiveModel(model);
    QStringList reasons;
    const auto expectLoggedReason = [&] {
        LogCapture log;
        EXPECT_EQ(load(), false);
        const QString reason = whisperModelFileProblem(path).value_or(QString());
        EXPECT_FALSE(reason.isEmpty());
        EXPECT_TRUE(log.hasSystemLine("[AppDelegate] Failed to load model " + path + ": " + reason))
            << log.systemLines().join("\n").toStdString();
        reasons << reason;
    };

    installBytes(model, 0);
    expectLoggedReason();
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path));
    expectLoggedReason();
    ASSERT_TRUE(QDir(path).removeRecursively());
    installBytes(model, 4096);
    expectLoggedReason();
    EXPECT_EQ(QSet<QString>(reasons.begin(), reasons.end()).size(), 3) << reasons.join(" | ").toStdString();
}

// A switch while a load runs: the load must not publish the model it began
// with, but load the one now active (here one whisper.cpp cannot read).
TEST_F(ModelLoadingTest, ASwitchDuringALoadIsFollowed)
{
    install(WhisperModel::largeV3TurboQ5);
    installBytes(WhisperModel::largeV3Turbo, 4096);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ5);
    const QString firstLoad =
        "[AppDelegate] Loading model " + ModelManager::shared().modelPath(WhisperModel::largeV3TurboQ5);
    std::atomic<bool> switched = false;
    const int sink = Log::addSink([&](Log::Stream, const QString& line) {
        // On the load queue, while the first model loads.
        if (line == firstLoad && !switched.exchange(true))
            ModelManager::shared().setActiveModel(WhisperModel::largeV3Turbo);
    });
    const std::optional<bool> answer = load();
    Log::removeSink(sink);
    EXPECT_TRUE(switched);
    EXPECT_EQ(answer, false);
    EXPECT_FALSE(Access::hasBridge(*appDelegate));
}

// The popover's model picker and Settings' must agree: a choice in the
// popover lets the loaded model go, and the next dictation loads the file
// chosen there.
TEST_F(ModelLoadingTest, ThePopoversChoiceIsTheModelTheNextDictationLoads)
{
    install(WhisperModel::largeV3TurboQ5);
    install(WhisperModel::largeV3TurboQ8);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ5);
    appDelegate->applicationDidFinishLaunching();
    ASSERT_EQ(load(), true);

    PopoverViewModel popover(appDelegate.get());
    const QList<WhisperModelInfo> rows = popover.models();
    const auto chosen = std::find_if(rows.begin(), rows.end(),
        [](const WhisperModelInfo& row) { return row.whisperModel == WhisperModel::largeV3TurboQ8; });
    ASSERT_NE(chosen, rows.end());
    LogCapture log;
    popover.selectModel(*chosen);
    Dispatch::drainMainQueue();

    EXPECT_EQ(load(), true);
    EXPECT_TRUE(log.hasSystemLine(
        "[AppDelegate] Loading model " + ModelManager::shared().modelPath(WhisperModel::largeV3TurboQ8)))
        << log.systemLines().join("\n").toStdString();
    ASSERT_TRUE(popover.activeModel().has_value());
    EXPECT_EQ(popover.activeModel()->whisperModel, WhisperModel::largeV3TurboQ8);
}

// The checked row of the popover or the selected card in Settings chosen
// again: the loaded model stays, and a load under way is not begun anew.
// "ActiveModelChanged" posted in-process is no choice: it always drops it.
TEST_F(ModelLoadingTest, ChoosingTheModelInUseKeepsItLoaded)
{
    const WhisperModel inUse = WhisperModel::largeV3TurboQ5;
    const QString loading = "[AppDelegate] Loading model " + ModelManager::shared().modelPath(inUse);
    install(inUse);
    ModelManager::shared().setActiveModel(inUse);
    appDelegate->applicationDidFinishLaunching();
    Dispatch::drainMainQueue(); // nothing of the start-up logs while the sink below waits

    // Chosen again while it loads, as the load begins reading the file.
    std::atomic<bool> chosenDuringLoad = false;
    const int sink = Log::addSink([&](Log::Stream, const QString& line) {
        if (line != loading || chosenDuringLoad.exchange(true))
            return;
        ModelManager::shared().announceModelChange(inUse);
        // The controller hears of it on the main queue; wait until it has.
        std::atomic<bool> heard = false;
        Dispatch::main().async([&heard] { heard = true; });
        QDeadlineTimer deadline(Patience::transcription);
        while (!heard && !deadline.hasExpired())
            QThread::msleep(1);
    });
    LogCapture log;
    EXPECT_EQ(load(), true);
    Log::removeSink(sink);
    EXPECT_TRUE(chosenDuringLoad);
    EXPECT_EQ(log.systemLines().filter(loading).size(), 1) << log.systemLines().join("\n").toStdString();

    PopoverViewModel popover(appDelegate.get());
    const QList<WhisperModelInfo> rows = popover.models();
    const auto checked =
        std::find_if(rows.begin(), rows.end(), [](const WhisperModelInfo& row) { return row.isActive; });
    ASSERT_NE(checked, rows.end());
    ASSERT_EQ(checked->whisperModel, inUse);
    popover.selectModel(*checked);
    Dispatch::drainMainQueue();
    EXPECT_TRUE(Access::hasBridge(*appDelegate)) << "the popover's checked row";

    SettingsViewModel settings;
    settings.loadInitialData();
    ASSERT_EQ(settings.selectedModel(), inUse);
    settings.selectModel(inUse);
    Dispatch::drainMainQueue();
    EXPECT_TRUE(Access::hasBridge(*appDelegate)) << "the selected card in Settings";

    EXPECT_EQ(load(), true);
    EXPECT_EQ(log.systemLines().filter(loading).size(), 1) << "never read again";

    // The notification, though, always lets it go, and each time the next
    // dictation loads the model again.
    for (int posted = 1; posted <= 2; ++posted) {
        NotificationCenter::shared().post(QStringLiteral("ActiveModelChanged"));
        Dispatch::drainMainQueue();
        EXPECT_FALSE(Access::hasBridge(*appDelegate));
        EXPECT_EQ(load(), true);
        EXPECT_EQ(log.systemLines().filter(loading).size(), 1 + posted);
    }
}
