#include "shell/AppEnvironment.h"

#include "base/Dispatch.h"
#include "core/speech/ModelManager.h"
#include "recording/RecordingManager.h"
#include "shell/errors/ErrorPresentationCoordinator.h"
#include "shell/windows/WindowHost.h"
#include "shell/windows/WindowManager.h"
#include "support/FakeAudioCapture.h"
#include "support/FakeMicrophonePermission.h"
#include "support/SettingsReset.h"

#include <QDir>
#include <QFile>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct CountingHost : WindowHost {
    void showSettings() override { ++settingsShown; }
    int settingsShown = 0;
};

class AppEnvironmentTest : public DefaultsTest {
protected:
    void SetUp() override
    {
        DefaultsTest::SetUp();
        QDir(ModelManager::shared().modelsDirectory()).removeRecursively();
        QDir().mkpath(ModelManager::shared().modelsDirectory());
        store().setCurrentTranscription({});
        store().setAudioLevel(0);
    }
    void TearDown() override
    {
        store().setCaptureServices(nullptr, nullptr);
        QDir(ModelManager::shared().modelsDirectory()).removeRecursively();
        Dispatch::drainMainQueue();
        DefaultsTest::TearDown();
    }
    static RecordingManager& store() { return RecordingManager::shared(); }
    static void putModelOnDisk(WhisperModel model)
    {
        QFile file(ModelManager::shared().modelPath(model));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("model");
    }
    // Runs an operation and waits for its end.
    template <typename Operation> static void await(Operation operation)
    {
        bool done = false;
        operation([&] { done = true; });
        ASSERT_TRUE(Dispatch::drainMainQueue());
        ASSERT_TRUE(done);
    }
    std::optional<TallowindError> presented() { return hub.errorCoordinator().currentError(); }

    AppEnvironment hub{ModelManager::shared(), RecordingManager::shared()};
};

} // namespace

TEST_F(AppEnvironmentTest, CopiesStartEmptyAndFollowTheStoresOnceTheQueueRuns)
{
    AppEnvironment fresh(ModelManager::shared(), RecordingManager::shared());
    store().setCurrentTranscription("hello");
    store().setAudioLevel(0.25f);
    EXPECT_FALSE(fresh.isRecording());
    EXPECT_EQ(fresh.currentTranscription(), "");
    EXPECT_EQ(fresh.audioLevel(), 0.0f);
    EXPECT_FALSE(fresh.currentError().has_value());
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_EQ(fresh.currentTranscription(), "hello");
    EXPECT_EQ(fresh.audioLevel(), 0.25f);

    store().setAudioLevel(0.5f);
    fresh.errorCoordinator().present(TallowindError::noAudioInput());
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_EQ(fresh.audioLevel(), 0.5f);
    EXPECT_EQ(fresh.currentError(), TallowindError::noAudioInput());
}

TEST_F(AppEnvironmentTest, StartWithoutAnActiveModelNeverAsksTheRecorder)
{
    auto permission = std::make_shared<FakeMicrophonePermission>();
    permission->authorization = MicrophoneAuthorization::NotDetermined;
    store().setCaptureServices(nullptr, permission);
    await([&](auto done) { hub.startRecording(done); });
    EXPECT_EQ(presented(), TallowindError::modelNotFound("No active model selected"));
    EXPECT_EQ(permission->requests, 0);
    EXPECT_FALSE(store().isRecording());
}

TEST_F(AppEnvironmentTest, DeniedMicrophoneIsPresentedAsARecordingFailure)
{
    putModelOnDisk(WhisperModel::largeV3);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3);
    auto permission = std::make_shared<FakeMicrophonePermission>();
    permission->authorization = MicrophoneAuthorization::NotDetermined;
    store().setCaptureServices(nullptr, permission);
    bool done = false;
    hub.startRecording([&] { done = true; });
    Dispatch::drainMainQueue();
    permission->answer(false);
    ASSERT_TRUE(Dispatch::drainMainQueue());
    ASSERT_TRUE(done);
    EXPECT_EQ(presented(), TallowindError::recordingFailed("Microphone access denied"));
}

TEST_F(AppEnvironmentTest, ARecordingRoundTripPresentsNothingAndAnEmptyOneIsAToast)
{
    putModelOnDisk(WhisperModel::largeV3);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3);
    auto capture = std::make_shared<FakeAudioCapture>();
    store().setCaptureServices(capture, std::make_shared<FakeMicrophonePermission>());

    await([&](auto done) { hub.startRecording(done); });
    EXPECT_FALSE(presented().has_value());
    EXPECT_TRUE(hub.isRecording()); // through the binding
    capture->lastStream()->deliver(std::vector<float>(1600, 0.05f));
    bool stopped = false;
    hub.stopRecording([&] { stopped = true; });
    ASSERT_TRUE(stopped);
    // The text reaches the hub only through its binding, on the main queue.
    EXPECT_EQ(hub.currentTranscription(), "");
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_EQ(hub.currentTranscription(), store().currentTranscription());
    EXPECT_FALSE(hub.currentTranscription().isEmpty());
    EXPECT_FALSE(presented().has_value());
    EXPECT_FALSE(hub.isRecording());

    await([&](auto done) { hub.startRecording(done); });
    await([&](auto done) { hub.stopRecording(done); });
    EXPECT_FALSE(presented().has_value());
    ASSERT_EQ(hub.errorCoordinator().toastErrors().size(), 1);
    EXPECT_EQ(hub.errorCoordinator().toastErrors().first(), TallowindError::emptyTranscriptionResult());
}

TEST_F(AppEnvironmentTest, RefusedOperationsArePresentedAfterTheyReturn)
{
    await([&](auto done) { hub.stopRecording(done); });
    EXPECT_EQ(presented(), TallowindError::recordingFailed("No active recording"));
    hub.errorCoordinator().dismissCurrentError();

    // Toggle follows the hub's own copy: it believes a recording runs, the store does not.
    hub.setIsRecording(true);
    await([&](auto done) { hub.toggleRecording(done); });
    EXPECT_EQ(presented(), TallowindError::recordingFailed("No active recording"));
    hub.errorCoordinator().dismissCurrentError();

    await([&](auto done) { hub.downloadModel(WhisperModel::largeV3Turbo, done); });
    EXPECT_EQ(presented(), TallowindError::modelDownloadFailed("Model download not implemented"));
    hub.errorCoordinator().dismissCurrentError();

    bool done = false;
    hub.switchModel(WhisperModel::largeV3TurboQ8, [&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_FALSE(presented().has_value()) << "the switch returns first";
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_EQ(presented(), TallowindError::modelNotFound("Large v3 Turbo Q8"));
}

TEST_F(AppEnvironmentTest, HandleErrorKeepsOurErrorsAndWrapsOthers)
{
    hub.handleError(std::runtime_error("disk on fire"));
    EXPECT_FALSE(presented().has_value());
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_EQ(presented(), TallowindError::genericError("disk on fire"));
    hub.errorCoordinator().dismissCurrentError();
    hub.handleError(TallowindError::networkError("offline"));
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_EQ(presented(), TallowindError::networkError("offline"));
}

TEST_F(AppEnvironmentTest, WindowOperationsGoThroughTheWindowManagerLater)
{
    CountingHost host;
    WindowManager::shared().setApplicationDelegate(&host);
    WindowManager::shared().closeAllWindows();
    hub.openSettings();
    hub.showRecordingProgress();
    EXPECT_EQ(host.settingsShown, 0);
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_EQ(host.settingsShown, 1);
    EXPECT_TRUE(WindowManager::shared().isWindowOpen(WindowType::recordingProgress));
    hub.hideRecordingProgress();
    hub.openPopover();
    ASSERT_TRUE(Dispatch::drainMainQueue());
    EXPECT_FALSE(WindowManager::shared().isWindowOpen(WindowType::recordingProgress));
    EXPECT_TRUE(WindowManager::shared().isWindowOpen(WindowType::popover));
    WindowManager::shared().setApplicationDelegate(nullptr);
    WindowManager::shared().closeAllWindows();
}

TEST_F(AppEnvironmentTest, ViewsFindTheInjectedHubElseTheSharedOne)
{
    QWidget root;
    auto* child = new QWidget(&root);
    EXPECT_EQ(&appEnvironment(child), &AppEnvironment::shared());
    EXPECT_EQ(&appEnvironment(nullptr), &AppEnvironment::shared());
    EXPECT_EQ(withAppEnvironment(&root, hub), &root);
    EXPECT_EQ(&appEnvironment(child), &hub);
    EXPECT_EQ(&appEnvironment(child).windowManager(), &WindowManager::shared());
    {
        // A hub that is gone is not found any more.
        AppEnvironment shortLived(ModelManager::shared(), RecordingManager::shared());
        withAppEnvironment(child, shortLived);
        EXPECT_EQ(&appEnvironment(child), &shortLived);
    }
    EXPECT_EQ(&appEnvironment(child), &hub);
}
