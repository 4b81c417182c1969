#include "settings/models/ModelSettingsViewModel.h"

#include "base/Dispatch.h"
#include "downloads/DownloadFixture.h"
#include "settings/models/ByteCountText.h"

#include <QSignalSpy>

namespace {

class ModelSettingsTest : public DownloadTest {
protected:
    static bool downloading(const ModelSettingsViewModel& model, WhisperModel which)
    {
        return model.isDownloading().value(which, false);
    }
    void putOnDisk(WhisperModel which, qint64 bytes) { writeFile(pathOf(which), QByteArray(bytes, 'm')); }
    static HttpRoute stalling()
    {
        HttpRoute route = generated(4 * 1024 * 1024);
        route.stallAfter = 1024 * 1024;
        return route;
    }
};

} // namespace

TEST_F(ModelSettingsTest, LoadingShowsCatalogueSizesRealSizesAndTheActiveModel)
{
    putOnDisk(WhisperModel::largeV3TurboQ8, 3 * 1024);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ8);
    ModelSettingsViewModel view;
    EXPECT_EQ(view.availableModels(), WhisperModel::allCasesRecommendedOrder());
    EXPECT_EQ(view.selectedModel(), WhisperModel(WhisperModel::largeV3TurboQ8));
    EXPECT_EQ(view.modelSizes().value(WhisperModel::largeV3TurboQ8), byteCountText(3 * 1024));
    EXPECT_EQ(view.modelSizes().value(WhisperModel::largeV3), "3.1 GB");
    EXPECT_EQ(view.totalStorageUsed(), byteCountText(3 * 1024));
    EXPECT_TRUE(view.canSelectModel(WhisperModel::largeV3TurboQ8));
    EXPECT_FALSE(view.canSelectModel(WhisperModel::largeV3));
}

TEST_F(ModelSettingsTest, ASecondRequestForARunningDownloadIsIgnored)
{
    putOnDisk(model, 10); // an older copy
    serve(model, stalling());
    ModelSettingsViewModel view;
    QSignalSpy flags(&view, &ModelSettingsViewModel::isDownloadingChanged);
    view.downloadModel(model);
    view.downloadModel(model);
    EXPECT_EQ(flags.count(), 1);
    EXPECT_EQ(view.downloadProgress().value(model), (ModelDownloadProgress{0, 0}));
    EXPECT_FALSE(view.canSelectModel(model));
    ASSERT_TRUE(pumpUntil([&] { return view.downloadProgress().value(model).bytesWritten > 0; }));
    EXPECT_EQ(server.requestCount(routeOf(model)), 1);
    view.cancelDownload(model);
}

TEST_F(ModelSettingsTest, AFinishedDownloadUpdatesSizesAndSelectsItWhenNothingIs)
{
    serve(model, generated(2 * 1024 * 1024 + 5));
    ModelSettingsViewModel view;
    ASSERT_FALSE(view.selectedModel().has_value());
    view.downloadModel(model);
    ASSERT_TRUE(pumpUntil([&] { return !downloading(view, model); }));
    EXPECT_TRUE(view.isDownloading().contains(model));
    EXPECT_FALSE(view.downloadProgress().contains(model));
    EXPECT_EQ(view.selectedModel(), model);
    EXPECT_EQ(view.modelSizes().value(model), byteCountText(2 * 1024 * 1024 + 5));
    EXPECT_EQ(view.totalStorageUsed(), byteCountText(2 * 1024 * 1024 + 5));

    // With a model selected, a finished download leaves the selection alone.
    const WhisperModel second = WhisperModel::largeV3Turbo;
    serve(second, generated(1024));
    view.downloadModel(second);
    ASSERT_TRUE(pumpUntil([&] { return !downloading(view, second); }));
    EXPECT_EQ(view.selectedModel(), model);
    EXPECT_TRUE(view.isModelDownloaded(second));
}

TEST_F(ModelSettingsTest, AFailedDownloadLeavesTheSizesAsTheyWere)
{
    HttpRoute missing;
    missing.status = 404;
    serve(model, missing);
    ModelSettingsViewModel view;
    const auto sizes = view.modelSizes();
    const QString total = view.totalStorageUsed();
    view.downloadModel(model);
    ASSERT_TRUE(pumpUntil([&] { return !downloading(view, model); }));
    EXPECT_FALSE(view.downloadProgress().contains(model));
    EXPECT_EQ(view.modelSizes(), sizes);
    EXPECT_EQ(view.totalStorageUsed(), total);
    EXPECT_FALSE(view.selectedModel().has_value());
}

TEST_F(ModelSettingsTest, CancelStopsTheTransferAtOnceAndSkipsTheEnd)
{
    serve(model, stalling());
    ModelSettingsViewModel view;
    view.downloadModel(model);
    ASSERT_TRUE(pumpUntil([&] { return view.downloadProgress().value(model).bytesWritten > 0; }));
    view.cancelDownload(model);
    EXPECT_FALSE(downloading(view, model));
    EXPECT_FALSE(view.downloadProgress().contains(model));
    // The transfer itself ends: the server sees its connection close.
    ASSERT_TRUE(pumpUntil([&] { return server.openConnections() == 0; }));
    pumpFor(100);
    EXPECT_FALSE(view.selectedModel().has_value());
    EXPECT_FALSE(QFileInfo::exists(pathOf(model)));
    EXPECT_EQ(modelsFolderEntries(), QStringList());
}

TEST_F(ModelSettingsTest, AnOlderDownloadsEndDoesNotClearANewerOne)
{
    serve(model, stalling());
    ModelSettingsViewModel view;
    view.downloadModel(model);
    ASSERT_TRUE(pumpUntil([&] { return view.downloadProgress().value(model).bytesWritten > 0; }));
    view.cancelDownload(model);
    HttpRoute slow = generated(3 * 1024 * 1024, 256 * 1024);
    slow.chunkDelayMs = 40;
    serve(model, slow);
    view.downloadModel(model);
    // The first download's stream ends (cancelled) meanwhile.
    pumpFor(150);
    EXPECT_TRUE(downloading(view, model));
    EXPECT_TRUE(view.downloadProgress().contains(model));
    ASSERT_TRUE(pumpUntil([&] { return !downloading(view, model); }));
    EXPECT_TRUE(view.isModelDownloaded(model));
    EXPECT_EQ(view.selectedModel(), model);
}

TEST_F(ModelSettingsTest, SeveralModelsDownloadAndCancelApart)
{
    const WhisperModel other = WhisperModel::largeV3;
    serve(model, stalling());
    serve(other, generated(1024 * 1024));
    ModelSettingsViewModel view;
    view.downloadModel(model);
    view.downloadModel(other);
    view.cancelDownload(model);
    ASSERT_TRUE(pumpUntil([&] { return !downloading(view, other); }));
    EXPECT_TRUE(view.isModelDownloaded(other));
    EXPECT_FALSE(view.isModelDownloaded(model));
}

TEST_F(ModelSettingsTest, DeletingTheSelectedModelFallsBackToTheFirstOnDisk)
{
    putOnDisk(WhisperModel::largeV3Turbo, 100);
    putOnDisk(WhisperModel::largeV3, 100);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3Turbo);
    ModelSettingsViewModel view;
    ASSERT_FALSE(view.deleteModel(WhisperModel::largeV3Turbo).has_value());
    EXPECT_EQ(view.selectedModel(), WhisperModel(WhisperModel::largeV3));
    EXPECT_FALSE(ModelManager::shared().activeModel().has_value());
    EXPECT_EQ(view.modelSizes().value(WhisperModel::largeV3Turbo), "1.5 GB");
    ASSERT_FALSE(view.deleteModel(WhisperModel::largeV3).has_value());
    EXPECT_FALSE(view.selectedModel().has_value());
    EXPECT_EQ(view.totalStorageUsed(), byteCountText(0));
}

TEST_F(ModelSettingsTest, SelectionFollowsTheStoreAndItsNotifications)
{
    putOnDisk(WhisperModel::largeV3TurboQ8, 100);
    ModelSettingsViewModel view;
    std::optional<std::optional<TallowindError>> answer;
    view.selectModel(WhisperModel::largeV3, [&](auto failure) { answer = failure; });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, TallowindError::modelNotFound("Large v3"));
    EXPECT_FALSE(view.selectedModel().has_value());
    view.selectModel(WhisperModel::largeV3TurboQ8);
    EXPECT_EQ(view.selectedModel(), WhisperModel(WhisperModel::largeV3TurboQ8));
    Dispatch::drainMainQueue();

    // Only a model value counts, not its identifier.
    NotificationCenter::shared().post(NotificationName::modelDidChange, {{"model", 42}});
    NotificationCenter::shared().post(NotificationName::modelDidChange, {{"model", "large-v3"}});
    Dispatch::drainMainQueue();
    EXPECT_EQ(view.selectedModel(), WhisperModel(WhisperModel::largeV3TurboQ8));
    ModelManager::shared().announceModelChange(WhisperModel::largeV3);
    Dispatch::drainMainQueue();
    EXPECT_EQ(view.selectedModel(), WhisperModel(WhisperModel::largeV3));

    // A deletion elsewhere reloads everything, the selection from the store.
    ModelManager::shared().setActiveModel(std::nullopt);
    NotificationCenter::shared().post(NotificationName::modelWasDeleted, {});
    Dispatch::drainMainQueue();
    EXPECT_FALSE(view.selectedModel().has_value());
}
