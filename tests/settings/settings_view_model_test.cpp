#include "settings/SettingsFixture.h"

#include "base/NotificationCenter.h"
#include "downloads/FirstLaunchViewModel.h"
#include "downloads/ModelDownloads.h"

#include <QSignalSpy>

namespace {

using Status = SettingsViewModel::DownloadStatus;

const WhisperModel q5 = WhisperModel::largeV3TurboQ5;
const WhisperModel q8 = WhisperModel::largeV3TurboQ8;
const WhisperModel turbo = WhisperModel::largeV3Turbo;
const WhisperModel v3 = WhisperModel::largeV3;

} // namespace

TEST_F(SettingsTest, NothingIsReadBeforeLoadingAndEachLoadingReadsTheStoresAfresh)
{
    EXPECT_TRUE(viewModel->models().isEmpty());
    EXPECT_TRUE(viewModel->downloadStatuses().isEmpty());
    viewModel->loadInitialData();
    EXPECT_FALSE(viewModel->selectedModel().has_value());
    for (WhisperModel each : WhisperModel::allCases())
        EXPECT_EQ(status(each), Status::notDownloaded()) << each.rawValue().toStdString();

    // Unchanged values are announced all the same.
    putModelFile(turbo);
    ModelManager::shared().setActiveModel(turbo);
    QSignalSpy modelsSpy(viewModel.get(), &SettingsViewModel::modelsChanged);
    QSignalSpy selectedSpy(viewModel.get(), &SettingsViewModel::selectedModelChanged);
    viewModel->loadInitialData();
    EXPECT_EQ(modelsSpy.count(), 1);
    EXPECT_EQ(selectedSpy.count(), 1);
    EXPECT_EQ(viewModel->selectedModel(), std::optional<WhisperModel>(turbo));
    EXPECT_EQ(status(turbo), Status::downloaded());
    EXPECT_EQ(status(q5), Status::notDownloaded());
}

TEST_F(SettingsTest, SelectingMakesTheModelActiveAndTellsItsListeners)
{
    viewModel->loadInitialData();
    QList<std::optional<WhisperModel>> announced;
    const auto token =
        NotificationCenter::shared().addObserver(NotificationName::modelDidChange, [&](const Notification& note) {
            announced << WhisperModel::fromVariant(note.userInfo.value(ModelManager::modelUserInfoKey));
        });
    // Not on disk: still selected; the card offers selection only on downloaded models.
    viewModel->selectModel(v3);
    NotificationCenter::shared().removeObserver(token);
    EXPECT_EQ(viewModel->selectedModel(), std::optional<WhisperModel>(v3));
    EXPECT_EQ(ModelManager::shared().activeModel(), std::optional<WhisperModel>(v3));
    EXPECT_EQ(status(v3), Status::notDownloaded());
    // A loaded model elsewhere must give way to the chosen one.
    EXPECT_EQ(announced, QList<std::optional<WhisperModel>>{v3});
}

TEST_F(SettingsTest, DownloadRunsFromProgressToDownloadedWithoutSelecting)
{
    HttpRoute paced = generated(2 * 1024 * 1024 + 17, 64 * 1024);
    paced.chunkDelayMs = 3;
    serve(q8, paced);
    viewModel->loadInitialData();

    std::vector<Status> seen;
    QObject::connect(viewModel.get(), &SettingsViewModel::downloadStatusesChanged,
        [&](const SettingsDownloadStatuses& all) { seen.push_back(all.value(q8)); });
    viewModel->downloadModel(q8);
    EXPECT_EQ(status(q8), Status::downloading(0.0f));
    EXPECT_TRUE(viewModel->isDownloading(q8));
    ASSERT_TRUE(pumpUntil([&] { return status(q8) == Status::downloaded(); }));

    EXPECT_FALSE(viewModel->isDownloading(q8));
    EXPECT_TRUE(ModelManager::shared().isModelDownloaded(q8));
    EXPECT_FALSE(viewModel->selectedModel().has_value());
    float last = 0.0f;
    int progressReports = 0;
    for (const Status& each : seen) {
        if (!each.isDownloading())
            continue;
        EXPECT_GE(each.progress(), last);
        EXPECT_LE(each.progress(), 1.0f);
        last = each.progress();
        ++progressReports;
    }
    EXPECT_GE(progressReports, 3);
    EXPECT_FLOAT_EQ(last, 1.0f);
}

// The welcome window's download shows on the card and runs once, whichever
// window asks for it.
TEST_F(SettingsTest, ASecondDownloadOfARunningModelIsIgnoredAndSurvivesReloading)
{
    serveStalled(q5);
    const auto downloads = std::make_shared<ModelDownloads>();
    viewModel->setModelDownloads(downloads);
    FirstLaunchViewModel welcome([] {}, downloads);
    welcome.startDownload();
    // Until the server holds it after its first 256 KiB of 4 MiB.
    ASSERT_TRUE(pumpUntil([&] { return welcome.downloadProgress() == 0.0625; }));
    // Opened during it: the card takes the fraction reached.
    viewModel->loadInitialData();
    EXPECT_EQ(status(q5), Status::downloading(0.0625f));
    const Status before = status(q5);

    viewModel->downloadModel(q5);
    EXPECT_EQ(status(q5), before);
    // Reopening the window must not offer Download for a model under way.
    viewModel->loadInitialData();
    EXPECT_EQ(status(q5), before);
    pumpFor(100);
    EXPECT_EQ(server.requestCount(routeOf(q5)), 1);

    // Stopping it leaves nothing behind, not even the part-file, and the
    // welcome window offers the download again.
    viewModel->cancelDownload(q5);
    EXPECT_EQ(status(q5), Status::notDownloaded());
    EXPECT_FALSE(viewModel->isDownloading(q5));
    EXPECT_FALSE(welcome.isDownloading());
    ASSERT_TRUE(pumpUntil([&] { return modelsFolderEntries().isEmpty(); }));
    EXPECT_FALSE(welcome.isDownloading()) << "a report of the stopped download came through";
    viewModel->loadInitialData();
    EXPECT_EQ(status(q5), Status::notDownloaded());
}

TEST_F(SettingsTest, ReportsAfterAStopOrWithoutADownloadChangeNothing)
{
    serveStalled(turbo);
    viewModel->loadInitialData();
    viewModel->downloadModel(turbo);

    // A report made before the stop but applied after it.
    viewModel->downloadDidUpdateProgress(0.5, 10, 20, turbo);
    viewModel->cancelDownload(turbo);
    pumpFor(50);
    EXPECT_EQ(status(turbo), Status::notDownloaded());

    // Reports naming a model that no download of ours serves.
    viewModel->downloadDidStart(v3);
    viewModel->downloadDidUpdateProgress(0.3, 3, 10, v3);
    viewModel->downloadDidFail(TallowindError::modelDownloadFailed("gone"), v3);
    viewModel->downloadDidComplete(v3);
    pumpFor(50);
    EXPECT_EQ(status(v3), Status::notDownloaded());
}

TEST_F(SettingsTest, AFailedDownloadShowsWhyAndCanBeStartedAgain)
{
    HttpRoute missing;
    missing.status = 404;
    serve(q8, missing);
    viewModel->loadInitialData();
    viewModel->downloadModel(q8);
    ASSERT_TRUE(pumpUntil([&] { return status(q8).kind() == Status::Kind::error; }));
    // The card says what is wrong and where.
    EXPECT_TRUE(status(q8).message().contains(QUrl(server.baseUrl()).authority() + " has no file " + q8.fileName()))
        << status(q8).message().toStdString();
    EXPECT_FALSE(viewModel->isDownloading(q8));
    EXPECT_EQ(modelsFolderEntries(), QStringList());

    viewModel->downloadModel(q8);
    EXPECT_EQ(status(q8), Status::downloading(0.0f));
    ASSERT_TRUE(pumpUntil([&] { return status(q8).kind() == Status::Kind::error; }));
    EXPECT_EQ(server.requestCount(routeOf(q8)), 2);
    // The next showing reads the disk again.
    viewModel->loadInitialData();
    EXPECT_EQ(status(q8), Status::notDownloaded());
}

TEST_F(SettingsTest, StoppingWithoutADownloadShowsNotDownloadedUntilTheNextLoad)
{
    putModelFile(q5);
    viewModel->loadInitialData();
    viewModel->cancelDownload(q5);
    EXPECT_EQ(status(q5), Status::notDownloaded());
    EXPECT_TRUE(ModelManager::shared().isModelDownloaded(q5));
    viewModel->loadInitialData();
    EXPECT_EQ(status(q5), Status::downloaded());
}

TEST_F(SettingsTest, DeletingTheSelectedModelSelectsTheFirstDownloadedOneOrNone)
{
    for (WhisperModel each : {q8, turbo, v3})
        putModelFile(each);
    ModelManager::shared().setActiveModel(turbo);
    viewModel->loadInitialData();

    viewModel->deleteModel(turbo);
    // The deletion runs later; nothing marks it meanwhile.
    EXPECT_EQ(status(turbo), Status::downloaded());
    ASSERT_TRUE(pumpUntil([&] { return status(turbo) == Status::notDownloaded(); }));
    EXPECT_FALSE(QFileInfo::exists(pathOf(turbo)));
    EXPECT_EQ(viewModel->selectedModel(), std::optional<WhisperModel>(q8));
    EXPECT_EQ(ModelManager::shared().activeModel(), std::optional<WhisperModel>(q8));

    // Another model than the selected one: only its status changes.
    viewModel->deleteModel(v3);
    ASSERT_TRUE(pumpUntil([&] { return status(v3) == Status::notDownloaded(); }));
    EXPECT_EQ(viewModel->selectedModel(), std::optional<WhisperModel>(q8));
    EXPECT_EQ(status(q8), Status::downloaded());

    // The last one: no card may stay marked for a model that is gone.
    viewModel->deleteModel(q8);
    ASSERT_TRUE(pumpUntil([&] { return status(q8) == Status::notDownloaded(); }));
    EXPECT_FALSE(viewModel->selectedModel().has_value());
    EXPECT_FALSE(ModelManager::shared().activeModel().has_value());
}

TEST_F(SettingsTest, DeletingAMissingFileShowsTheFailureOnItsCard)
{
    viewModel->loadInitialData();
    viewModel->deleteModel(v3);
    ASSERT_TRUE(pumpUntil([&] { return status(v3).kind() == Status::Kind::error; }));
    EXPECT_EQ(status(v3).message(), QStringLiteral("Failed to delete: Model 'Large v3' not found"));
    viewModel->loadInitialData();
    EXPECT_EQ(status(v3), Status::notDownloaded());
}

TEST_F(SettingsTest, ADownloadOutlivingTheViewModelStillLandsItsFile)
{
    HttpRoute paced = generated(512 * 1024, 64 * 1024);
    paced.chunkDelayMs = 5;
    serve(q5, paced);
    viewModel->loadInitialData();
    viewModel->downloadModel(q5);
    viewModel.reset();
    ASSERT_TRUE(pumpUntil([&] { return ModelManager::shared().isModelDownloaded(q5); }));
}
