// The Models page of the Settings window on a private desktop: a download
// from a local model host with its bar moving, a choice of that model, and a
// dictation that then runs on it.
#include "app/LinuxPlatformServices.h"
#include "base/NotificationCenter.h"
#include "controller/AppDelegate.h"
#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "recording/RecordingManager.h"
#include "settings/SettingsView.h"
#include "settings/SettingsViewModel.h"
#include "settings/tabs/SettingsModelCard.h"
#include "settings/tabs/SettingsModelsTabView.h"
#include "support/EventLoop.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/LocalHttpServer.h"
#include "support/Patience.h"
#include "support/SettingsReset.h"
#include "support/VirtualMicrophone.h"
#include "support/WhisperTestModel.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

// Whether the controller holds a loaded model.
class ModelLoadingTestAccess {
public:
    static bool hasBridge(AppDelegate& controller)
    {
        std::lock_guard lock(controller.modelMutex);
        return controller.whisperWrapper != nullptr;
    }
};

namespace {

const WhisperModel q5 = WhisperModel::largeV3TurboQ5;
const WhisperModel q8 = WhisperModel::largeV3TurboQ8;

QString routeOf(WhisperModel model)
{
    return QStringLiteral("/orvandel/whisper.cpp/resolve/main/") + model.fileName();
}

class SettingsModelsOnDesktop : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the private test session";
        qputenv("TALLOWIND_MODEL_BASE_URL", server.baseUrl().toUtf8());
        QDir(ModelManager::shared().modelsDirectory()).removeRecursively();
        QDir().mkpath(ModelManager::shared().modelsDirectory());

        // Q5 on disk and active; Q8 on the host.
        ASSERT_FALSE(WhisperTestModel::writeMicro(
            ModelManager::shared().modelsDirectory(), WhisperTestModel::WeightType::F16, q5.fileName())
                         .isEmpty());
        ModelManager::shared().setActiveModel(q5);
        QTemporaryDir staging;
        const QString micro = WhisperTestModel::writeMicro(staging.path(), WhisperTestModel::WeightType::F16);
        QFile file(micro);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        HttpRoute paced;
        paced.body = file.readAll();
        paced.chunkSize = 16 * 1024;
        paced.chunkDelayMs = 10;
        server.setRoute(routeOf(q8), paced);

        AppConfig::setEnableRecordingSaving(true);
        AppConfig::setWhisperBeamSize(1);
        AppConfig::setWhisperBestOf(1);
        AppConfig::setWhisperNoFallback(true);
        RecordingManager::shared().deleteAllRecordings();
        services = makeLinuxPlatformServices();
        services.alertPresenter = std::make_shared<FakeAlertPresenter>();
        services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
    }
    void TearDown() override
    {
        RecordingManager::shared().waitForPendingWork();
        RecordingManager::shared().deleteAllRecordings();
        qunsetenv("TALLOWIND_MODEL_BASE_URL");
        QDir(ModelManager::shared().modelsDirectory()).removeRecursively();
        DefaultsTest::TearDown();
    }

    LocalHttpServer server;
    PlatformServices services;
};

} // namespace

TEST_F(SettingsModelsOnDesktop, ADownloadedAndChosenModelRunsTheNextDictation)
{
    QTemporaryDir folder;
    const QString speech = folder.filePath("speech.wav");
    ASSERT_TRUE(VirtualMicrophone::writeSpeech(speech, "write this into the studio", 1.0));

    AppDelegate controller(services);
    controller.applicationDidFinishLaunching();

    SettingsView view;
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    SettingsModelsTabView* page = view.modelsPage();

    // A download with its bar moving.
    SettingsModelCard* q8Card = page->card(q8);
    QSet<int> barValues;
    QObject::connect(q8Card->progressBar(), &QProgressBar::valueChanged, [&](int value) { barValues.insert(value); });
    QTest::mouseClick(q8Card->downloadButton(), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return q8Card->isDownloaded(); }, Patience::transfer));
    EXPECT_GE(barValues.size(), 3);
    EXPECT_TRUE(page->card(q5)->isSelected()) << "a download does not change the choice";

    // Q5 is loaded.
    bool loaded = false;
    controller.ensureModelLoaded([&](bool ok) { loaded = ok; });
    ASSERT_TRUE(pumpUntil([&] { return loaded; }, Patience::transcription));
    ASSERT_TRUE(ModelLoadingTestAccess::hasBridge(controller));

    // Choosing Q8: the controller lets go of the loaded Q5.
    QTest::mouseClick(q8Card, Qt::LeftButton, {}, q8Card->plateRect().topLeft() + QPoint(10, 10));
    EXPECT_TRUE(q8Card->isSelected());
    EXPECT_FALSE(page->card(q5)->isSelected());
    EXPECT_EQ(ModelManager::shared().activeModel(), std::optional<WhisperModel>(q8));
    EXPECT_TRUE(pumpUntil([&] { return !ModelLoadingTestAccess::hasBridge(controller); }))
        << "the chosen model would not be used";

    // A dictation in the studio runs on Q8.
    QStringList announced;
    NotificationObservation observation("TranscriptionUpdated",
        [&](const Notification& note) { announced.append(note.userInfo.value("text").toString()); });
    controller.recordingStateManager().startRecording(RecordingMode::studio);
    controller.startRecording();
    ASSERT_TRUE(pumpUntil([&] { return controller.isRecording(); }, 5000));
    ASSERT_TRUE(VirtualMicrophone::play(speech));
    controller.stopRecording();
    ASSERT_TRUE(pumpUntil([&] { return !announced.isEmpty(); }, Patience::transcription));
    EXPECT_TRUE(ModelLoadingTestAccess::hasBridge(controller));
    RecordingManager::shared().waitForPendingWork();
    const auto saved = RecordingManager::shared().getRecordings();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].modelUsed, q8.rawValue());

    view.close();
    controller.applicationWillTerminate();
}
