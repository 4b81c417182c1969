#include "downloads/ModelDownloaderAsync.h"

#include "downloads/DownloadFixture.h"
#include "downloads/DownloadToFile.h"
#include "support/Patience.h"
#include "support/SmallDisk.h"

#include <QSignalSpy>

namespace {

constexpr qint64 MiB = 1024 * 1024;

class ModelDownloaderAsyncTest : public DownloadTest {
protected:
    // Runs a streamed download to its end and returns every value it gave.
    QList<ModelDownloadProgress> runStream(const std::shared_ptr<ModelDownloadStream>& stream)
    {
        QList<ModelDownloadProgress> values;
        EXPECT_TRUE(pumpUntil([&] {
            values += stream->takeAll();
            return stream->hasEnded();
        }));
        values += stream->takeAll();
        return values;
    }
    static QList<qint64> bytesOf(const QList<ModelDownloadProgress>& values)
    {
        QList<qint64> bytes;
        for (const auto& value : values)
            bytes.append(value.bytesWritten);
        return bytes;
    }

    ModelDownloaderAsync downloader;
};

} // namespace

TEST_F(ModelDownloaderAsyncTest, StreamGivesOneValuePerMebibyteThenTheFinalCount)
{
    const qint64 size = 3 * MiB + 4321;
    serve(model, generated(size, 100 * 1000));
    writeFile(pathOf(model), "an older model file");
    QSignalSpy downloading(&downloader, &ModelDownloaderAsync::isDownloadingChanged);

    const auto stream = downloader.downloadModel(model);
    EXPECT_TRUE(downloader.isDownloading());
    EXPECT_EQ(downloader.downloadStatus().value(model), ModelDownloadStatus::downloading(0, 0, 0));
    const auto values = runStream(stream);

    EXPECT_FALSE(stream->error().has_value());
    EXPECT_EQ(bytesOf(values), (QList<qint64>{MiB, 2 * MiB, 3 * MiB, size}));
    for (const auto& value : values)
        EXPECT_EQ(value.totalBytes, size);
    EXPECT_EQ(contents(pathOf(model)), generatedBody(size));
    EXPECT_EQ(downloader.status(model), ModelDownloadStatus::downloaded());
    EXPECT_EQ(downloader.downloadStatus().value(model), ModelDownloadStatus::downloaded());
    EXPECT_FALSE(downloader.isDownloading());
    EXPECT_FALSE(downloader.currentProgress().has_value());
    EXPECT_EQ(downloading.last().at(0).toBool(), false);
    EXPECT_EQ(modelsFolderEntries(), QStringList{model.fileName()});
}

TEST_F(ModelDownloaderAsyncTest, MebibyteBoundariesAndShortBodies)
{
    {
        SCOPED_TRACE("exactly two mebibytes");
        serve(model, generated(2 * MiB, 256 * 1024));
        EXPECT_EQ(bytesOf(runStream(downloader.downloadModel(model))), (QList<qint64>{MiB, 2 * MiB, 2 * MiB}));
    }
    {
        SCOPED_TRACE("under one mebibyte: only the final value, no published progress");
        serve(model, generated(5000));
        QSignalSpy progress(&downloader, &ModelDownloaderAsync::currentProgressChanged);
        EXPECT_EQ(bytesOf(runStream(downloader.downloadModel(model))), QList<qint64>{5000});
        for (const auto& emitted : progress)
            EXPECT_FALSE(emitted.at(0).value<std::optional<ModelDownloadProgress>>().has_value());
    }
    {
        SCOPED_TRACE("no announced length");
        HttpRoute route = generated(MiB + 10);
        route.announceLength = false;
        serve(model, route);
        const auto values = runStream(downloader.downloadModel(model));
        ASSERT_EQ(values.size(), 2);
        for (const auto& value : values) {
            EXPECT_EQ(value.totalBytes, -1);
            EXPECT_EQ(value.progress(), 0.0);
            EXPECT_EQ(value.progressPercentage(), 0);
        }
    }
}

TEST_F(ModelDownloaderAsyncTest, StatusesOutsideTwoHundredsEndTheStreamWithoutAFile)
{
    int requests = 0;
    for (int status : {404, 500, 300}) {
        SCOPED_TRACE(status);
        HttpRoute route;
        route.status = status;
        route.body = generatedBody(3000);
        route.holdResponse = std::make_shared<std::atomic<bool>>(true);
        serve(model, route);
        const auto stream = downloader.downloadModel(model);
        ASSERT_TRUE(pumpUntil([&] { return server.requestCount(routeOf(model)) == requests + 1; }));
        ++requests;
        EXPECT_TRUE(modelsFolderEntries().isEmpty()) << "no part-file before the status";
        *route.holdResponse = false;
        EXPECT_TRUE(runStream(stream).isEmpty());
        ASSERT_TRUE(stream->error().has_value());
        const TallowindError invalid = TallowindError::networkError("Invalid response from server");
        EXPECT_EQ(downloader.status(model), ModelDownloadStatus::failed(invalid));
        EXPECT_EQ(*stream->error(), TallowindError::modelDownloadFailed(invalid.localizedDescription()));
        EXPECT_EQ(
            stream->error()->errorDescription(), "Model download failed: Network error: Invalid response from server");
        EXPECT_TRUE(modelsFolderEntries().isEmpty());
    }
    HttpRoute edge = generated(100);
    edge.status = 299;
    serve(model, edge);
    const auto accepted = downloader.downloadModel(model);
    runStream(accepted);
    EXPECT_FALSE(accepted->error().has_value());
}

TEST_F(ModelDownloaderAsyncTest, AddressThatIsNoUrlEndsTheStreamWithThatErrorItself)
{
    qputenv("TALLOWIND_MODEL_BASE_URL", "http://exa mple.org:notaport");
    const auto stream = downloader.downloadModel(model);
    EXPECT_FALSE(stream->hasEnded());
    EXPECT_TRUE(runStream(stream).isEmpty());
    EXPECT_EQ(*stream->error(), TallowindError::invalidModelURL());
    EXPECT_EQ(downloader.downloadStatus().value(model), ModelDownloadStatus::failed(TallowindError::invalidModelURL()));
    EXPECT_EQ(downloader.status(model).kind(), ModelDownloadStatus::Kind::failed);
    EXPECT_FALSE(downloader.isDownloading());
}

TEST_F(ModelDownloaderAsyncTest, CancelStopsTheTransferAndAFreshDownloadWorks)
{
    HttpRoute slow = generated(8 * MiB, 64 * 1024);
    slow.chunkDelayMs = 5;
    serve(model, slow);
    writeFile(pathOf(model), "the model the user has");

    const auto stream = downloader.downloadModel(model);
    ASSERT_TRUE(pumpUntil([&] { return downloader.currentProgress().has_value(); }));
    downloader.cancelDownload();
    EXPECT_FALSE(downloader.isDownloading());
    EXPECT_FALSE(downloader.currentProgress().has_value());
    EXPECT_TRUE(pumpUntil([&] { return stream->hasEnded(); }));
    EXPECT_EQ(*stream->error(), TallowindError::modelDownloadFailed("Download cancelled"));
    EXPECT_TRUE(pumpUntil([&] { return server.openConnections() == 0; }));
    pumpFor(100);
    EXPECT_FALSE(downloader.currentProgress().has_value());
    EXPECT_EQ(downloader.downloadStatus().value(model).kind(), ModelDownloadStatus::Kind::failed);
    EXPECT_EQ(contents(pathOf(model)), "the model the user has");
    EXPECT_EQ(modelsFolderEntries(), QStringList{model.fileName()});

    serve(model, generated(MiB / 2));
    const auto fresh = downloader.downloadModel(model);
    runStream(fresh);
    EXPECT_FALSE(fresh->error().has_value());
    EXPECT_EQ(contents(pathOf(model)), generatedBody(MiB / 2));
}

TEST_F(ModelDownloaderAsyncTest, CancelReachesOnlyTheLastOfTwoDownloads)
{
    const WhisperModel other = WhisperModel::largeV3;
    HttpRoute slow = generated(4 * MiB, 64 * 1024);
    slow.chunkDelayMs = 5;
    serve(model, slow);
    serve(other, slow);

    const auto first = downloader.downloadModel(model);
    const auto second = downloader.downloadModel(other);
    ASSERT_TRUE(pumpUntil([&] { return server.openConnections() == 2; }));
    downloader.cancelDownload();
    // The first download still runs, and the flag says so.
    EXPECT_TRUE(downloader.isDownloading());
    runStream(first);
    EXPECT_FALSE(first->error().has_value());
    EXPECT_TRUE(second->hasEnded());
    EXPECT_TRUE(second->error().has_value());
    EXPECT_TRUE(ModelManager::shared().isModelDownloaded(model));
    EXPECT_FALSE(ModelManager::shared().isModelDownloaded(other));
    EXPECT_FALSE(downloader.isDownloading());
}

// The downloader may go while its downloads run: each goes on to its end.
TEST_F(ModelDownloaderAsyncTest, DestroyingTheDownloaderCancelsNothing)
{
    const WhisperModel other = WhisperModel::largeV3;
    HttpRoute held = generated(2 * MiB + 5);
    held.hold = std::make_shared<std::atomic<bool>>(true);
    serve(model, held);
    serve(other, held);

    auto owned = std::make_unique<ModelDownloaderAsync>();
    const auto stream = owned->downloadModel(model);
    std::optional<std::optional<TallowindError>> waited;
    owned->downloadModelAndWait(other, [&](std::optional<TallowindError> error) { waited = error; });
    // Both have begun to write.
    ASSERT_TRUE(pumpUntil([&] { return modelsFolderEntries().size() == 2; }, Patience::transfer));
    owned.reset();
    *held.hold = false;

    const auto values = runStream(stream);
    EXPECT_FALSE(stream->error().has_value());
    EXPECT_EQ(bytesOf(values), (QList<qint64>{MiB, 2 * MiB, 2 * MiB + 5}));
    ASSERT_TRUE(pumpUntil([&] { return waited.has_value(); }, Patience::transfer));
    EXPECT_FALSE(waited->has_value());
    EXPECT_EQ(contents(pathOf(model)), generatedBody(2 * MiB + 5));
    EXPECT_EQ(contents(pathOf(other)), generatedBody(2 * MiB + 5));
    EXPECT_EQ(modelsFolderEntries(), (QStringList{model.fileName(), other.fileName()}));

    // A download refused at once still reports after its downloader went.
    qputenv("TALLOWIND_MODEL_BASE_URL", "http://exa mple.org:notaport");
    owned = std::make_unique<ModelDownloaderAsync>();
    waited.reset();
    owned->downloadModelAndWait(model, [&](std::optional<TallowindError> error) { waited = error; });
    owned.reset();
    ASSERT_TRUE(pumpUntil([&] { return waited.has_value(); }));
    EXPECT_EQ(*waited, TallowindError::invalidModelURL());
    // The finished downloads let go of what they held.
    QCoreApplication::processEvents();
}

TEST_F(ModelDownloaderAsyncTest, TheWholeTransferIsBoundedBesideTheStallLimit)
{
    HttpRoute held = generated(3 * MiB);
    held.hold = std::make_shared<std::atomic<bool>>(true);
    serve(model, held);
    downloader.setTimeLimit(std::chrono::milliseconds(300));

    const auto stream = downloader.downloadModel(model);
    runStream(stream);
    ASSERT_TRUE(stream->error().has_value());
    EXPECT_TRUE(stream->error()->errorDescription().contains("did not finish within"))
        << stream->error()->errorDescription().toStdString();
    EXPECT_EQ(downloader.status(model).kind(), ModelDownloadStatus::Kind::failed);
    EXPECT_TRUE(modelsFolderEntries().isEmpty());
    *held.hold = false;
}

TEST_F(ModelDownloaderAsyncTest, CutAndStalledBodiesFailAndLeaveNoPartFile)
{
    downloader.setStallTimeout(std::chrono::milliseconds(400));
    HttpRoute cut = generated(3 * MiB);
    cut.cutAfter = MiB + 7;
    HttpRoute stalled = generated(3 * MiB);
    stalled.stallAfter = MiB / 2;
    for (const auto& route : {cut, stalled}) {
        serve(model, route);
        const auto stream = downloader.downloadModel(model);
        runStream(stream);
        ASSERT_TRUE(stream->error().has_value());
        EXPECT_EQ(stream->error()->kind(), TallowindError::Kind::modelDownloadFailed);
        EXPECT_EQ(downloader.status(model).kind(), ModelDownloadStatus::Kind::failed);
        EXPECT_TRUE(modelsFolderEntries().isEmpty());
    }
}

TEST_F(ModelDownloaderAsyncTest, AFullDiskIsNamedWithTheModelsFolderAndTheRoomTheModelNeeds)
{
    SmallDisk disk(modelsFolder(), 256 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "a tmpfs cannot be mounted here";
    serve(model, generated(3 * MiB));
    const auto stream = downloader.downloadModel(model);
    runStream(stream);
    ASSERT_TRUE(stream->error().has_value());
    const QString size = ModelDownloadProgress{3 * MiB, 3 * MiB}.formattedTotalBytes();
    EXPECT_EQ(stream->error()->errorDescription(),
        "Model download failed: The disk is full: the model needs " + size + " free in " + modelsFolder());
    EXPECT_TRUE(modelsFolderEntries().isEmpty()) << "the part-file is gone";
}

TEST_F(ModelDownloaderAsyncTest, StatusPrefersTheFileOnDisk)
{
    EXPECT_EQ(downloader.status(model), ModelDownloadStatus::notDownloaded());
    HttpRoute missing;
    missing.status = 404;
    serve(model, missing);
    runStream(downloader.downloadModel(model));
    EXPECT_EQ(downloader.status(model).kind(), ModelDownloadStatus::Kind::failed);
    writeFile(pathOf(model), "placed by hand");
    EXPECT_EQ(downloader.status(model), ModelDownloadStatus::downloaded());
}

TEST_F(ModelDownloaderAsyncTest, DownloadAndWaitPublishesProgressAndPlacesTheFile)
{
    const qint64 size = 2 * MiB + 99;
    serve(model, generated(size, 128 * 1024));
    QList<std::optional<ModelDownloadProgress>> published;
    QObject::connect(&downloader, &ModelDownloaderAsync::currentProgressChanged,
        [&](const std::optional<ModelDownloadProgress>& value) { published.append(value); });

    std::optional<std::optional<TallowindError>> outcome;
    downloader.downloadModelAndWait(model, [&](std::optional<TallowindError> error) { outcome = error; });
    ASSERT_TRUE(pumpUntil([&] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->has_value());
    QList<qint64> bytes;
    for (const auto& value : published)
        if (value)
            bytes.append(value->bytesWritten);
    EXPECT_EQ(bytes, (QList<qint64>{MiB, 2 * MiB, size}));
    EXPECT_EQ(contents(pathOf(model)), generatedBody(size));
    EXPECT_EQ(downloader.downloadStatus().value(model), ModelDownloadStatus::downloaded());

    // Unlike the platform's plain download, an error page is no model.
    HttpRoute missing;
    missing.status = 404;
    missing.body = generatedBody(100);
    serve(model, missing);
    outcome.reset();
    downloader.downloadModelAndWait(model, [&](std::optional<TallowindError> error) { outcome = error; });
    ASSERT_TRUE(pumpUntil([&] { return outcome.has_value(); }));
    ASSERT_TRUE(outcome->has_value());
    EXPECT_TRUE((*outcome)->errorDescription().contains("has no file " + model.fileName()));
    EXPECT_EQ(contents(pathOf(model)), generatedBody(size));
}

TEST_F(ModelDownloaderAsyncTest, DownloadToFileReportsEachMebibyteAndTheEndAndHandsOverThePartFile)
{
    QNetworkAccessManager network;
    const QString destination = pathOf(model);
    const QUrl url(server.baseUrl() + routeOf(model));
    for (const qint64 size : {MiB, qint64(10)}) {
        SCOPED_TRACE(size);
        serve(model, generated(size, 256 * 1024));
        QList<qint64> reports;
        std::optional<DownloadResult> result;
        const auto transfer = downloadToFile(
            network, url, destination, [&](qint64 completed, qint64) { reports.append(completed); },
            [&](DownloadResult outcome) { result = std::move(outcome); });
        ASSERT_TRUE(pumpUntil([&] { return result.has_value(); }));
        const auto* file = std::get_if<DownloadedFile>(&*result);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(reports, size == MiB ? (QList<qint64>{MiB, MiB}) : QList<qint64>{10});
        // Received beside the destination, never in the system's temp folder.
        EXPECT_EQ(QFileInfo(file->path).absolutePath(), QFileInfo(destination).absolutePath());
        EXPECT_EQ(contents(file->path), generatedBody(size));
        EXPECT_TRUE(QFile::remove(file->path));
    }
}
