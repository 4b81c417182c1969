#include "downloads/ModelDownloader.h"

#include "downloads/DownloadFixture.h"
#include "support/Patience.h"

namespace {

class ModelDownloaderTest : public DownloadTest {
protected:
    std::shared_ptr<ModelDownloader> start(std::chrono::milliseconds stallTimeout = std::chrono::milliseconds(10000))
    {
        auto downloader = ModelDownloader::create();
        downloader->setDelegate(&delegate);
        downloader->setStallTimeout(stallTimeout);
        downloader->downloadModel(model);
        return downloader;
    }
    void expectFailure(const TallowindError& expected)
    {
        ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));
        ASSERT_TRUE(delegate.failure().has_value());
        EXPECT_EQ(delegate.failure()->errorDescription(), expected.errorDescription());
    }

    RecordingDelegate delegate;
};

} // namespace

TEST_F(ModelDownloaderTest, DownloadReportsInOrderAndReplacesTheOldModelFile)
{
    const qint64 size = 3 * 1024 * 1024 + 123;
    // Paced chunks, so the body arrives in many pieces.
    HttpRoute paced = generated(size, 64 * 1024);
    paced.chunkDelayMs = 5;
    serve(model, paced);
    writeFile(pathOf(model), "an older model file");

    auto downloader = start();
    ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));

    ASSERT_GE(delegate.reports.size(), 3u);
    EXPECT_TRUE(std::holds_alternative<DownloadStarted>(delegate.reports.front()));
    EXPECT_TRUE(std::holds_alternative<DownloadCompleted>(delegate.reports.back()));
    EXPECT_GE(delegate.progressCount(), 2);
    qint64 lastBytes = 0;
    double lastFraction = 0;
    for (size_t i = 1; i + 1 < delegate.reports.size(); ++i) {
        const auto* progress = std::get_if<DownloadProgressed>(&delegate.reports[i]);
        ASSERT_NE(progress, nullptr) << "report " << i << " is not progress";
        EXPECT_EQ(progress->totalBytes, size);
        EXPECT_GT(progress->bytesWritten, lastBytes);
        EXPECT_GE(progress->progress, lastFraction);
        EXPECT_TRUE(progress->model == model);
        lastBytes = progress->bytesWritten;
        lastFraction = progress->progress;
    }
    EXPECT_EQ(lastBytes, size);
    EXPECT_DOUBLE_EQ(lastFraction, 1.0);
    EXPECT_TRUE(delegate.allOnMainThread);

    EXPECT_EQ(contents(pathOf(model)), generatedBody(size));
    EXPECT_TRUE(ModelManager::shared().isModelDownloaded(model));
    EXPECT_EQ(modelsFolderEntries(), QStringList{model.fileName()});
    EXPECT_FALSE(downloader->isRunning());
}

TEST_F(ModelDownloaderTest, BodyWithoutAnnouncedLengthCompletesWithZeroFraction)
{
    HttpRoute route = generated(300 * 1024);
    route.announceLength = false;
    serve(model, route);

    auto downloader = start();
    ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));
    ASSERT_TRUE(std::holds_alternative<DownloadCompleted>(delegate.reports.back()));
    for (const auto& report : delegate.reports) {
        if (const auto* progress = std::get_if<DownloadProgressed>(&report)) {
            EXPECT_EQ(progress->totalBytes, -1);
            EXPECT_EQ(progress->progress, 0.0);
        }
    }
    EXPECT_EQ(contents(pathOf(model)), generatedBody(300 * 1024));
}

TEST_F(ModelDownloaderTest, FollowsARedirect)
{
    HttpRoute redirect;
    redirect.status = 302;
    redirect.location = (server.baseUrl() + "/mirror/model.bin").toUtf8();
    serve(model, redirect);
    server.setRoute("/mirror/model.bin", generated(200 * 1024));

    auto downloader = start();
    ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));
    EXPECT_TRUE(std::holds_alternative<DownloadCompleted>(delegate.reports.back()));
    EXPECT_EQ(contents(pathOf(model)), generatedBody(200 * 1024));
}

TEST_F(ModelDownloaderTest, ErrorStatusesFailWithTheirReasonAndNeverBecomeTheModelFile)
{
    struct Case {
        int status;
        TallowindError::Kind kind;
        QStringList reason;
    };
    const QString host = QUrl(server.baseUrl()).authority();
    for (const Case& c : {Case{404, TallowindError::Kind::modelDownloadFailed, {host, "no file " + model.fileName()}},
             Case{500, TallowindError::Kind::networkError, {"500", "Internal Server Error"}}}) {
        SCOPED_TRACE(c.status);
        HttpRoute route;
        route.status = c.status;
        // Even a page that starts like a model must not be kept.
        route.body = generatedBody(5000);
        serve(model, route);
        writeFile(pathOf(model), "the model the user has");
        delegate.reports.clear();

        auto downloader = start();
        ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));
        ASSERT_TRUE(delegate.failure().has_value());
        EXPECT_EQ(delegate.failure()->kind(), c.kind);
        for (const QString& words : c.reason)
            EXPECT_TRUE(delegate.failure()->payload().contains(words)) << delegate.failure()->payload().toStdString();
        EXPECT_TRUE(std::holds_alternative<DownloadStarted>(delegate.reports.front()));
        EXPECT_EQ(delegate.progressCount(), 0);
        EXPECT_EQ(contents(pathOf(model)), "the model the user has");
        EXPECT_EQ(modelsFolderEntries(), QStringList{model.fileName()});
    }
}

TEST_F(ModelDownloaderTest, BodiesThatAreNotCompleteModelsFail)
{
    struct Case {
        const char* name;
        HttpRoute route;
    };
    HttpRoute cut = generated(2 * 1024 * 1024);
    cut.cutAfter = 700 * 1024;
    HttpRoute page;
    page.body = "<html>not a model</html>";
    HttpRoute empty;
    for (const Case& c : {Case{"cut short", cut}, Case{"not a model", page}, Case{"empty", empty}}) {
        SCOPED_TRACE(c.name);
        serve(model, c.route);
        writeFile(pathOf(model), "the model the user has");
        delegate.reports.clear();

        auto downloader = start();
        ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));
        EXPECT_TRUE(delegate.failure().has_value());
        EXPECT_EQ(contents(pathOf(model)), "the model the user has");
        EXPECT_EQ(modelsFolderEntries(), QStringList{model.fileName()});
    }
}

TEST_F(ModelDownloaderTest, StalledBodyFailsAfterTheStallTimeout)
{
    HttpRoute route = generated(2 * 1024 * 1024);
    route.stallAfter = 256 * 1024;
    serve(model, route);

    auto downloader = start(std::chrono::milliseconds(500));
    ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }, Patience::transfer));
    ASSERT_TRUE(delegate.failure().has_value());
    EXPECT_EQ(delegate.failure()->kind(), TallowindError::Kind::networkError);
    EXPECT_GT(delegate.progressCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(pathOf(model)));
    EXPECT_TRUE(modelsFolderEntries().isEmpty());
}

TEST_F(ModelDownloaderTest, CancelHalfWayStopsTheTransferAndReportsNothingMore)
{
    HttpRoute slow = generated(4 * 1024 * 1024, 32 * 1024);
    slow.chunkDelayMs = 10;
    serve(model, slow);
    writeFile(pathOf(model), "the model the user has");

    auto downloader = start();
    ASSERT_TRUE(pumpUntil([&] { return delegate.progressCount() >= 3; }));
    ASSERT_TRUE(pumpUntil([&] { return server.openConnections() == 1; }));
    downloader->cancelDownload();
    const size_t reportsAtCancel = delegate.reports.size();
    EXPECT_FALSE(downloader->currentModel().has_value());

    // The server sees the connection go: nothing keeps downloading.
    EXPECT_TRUE(pumpUntil([&] { return server.openConnections() == 0; }));
    pumpFor(300);
    EXPECT_EQ(delegate.reports.size(), reportsAtCancel);
    EXPECT_EQ(contents(pathOf(model)), "the model the user has");
    EXPECT_EQ(modelsFolderEntries(), QStringList{model.fileName()});

    // The same downloader serves a new download.
    serve(model, generated(100 * 1024));
    delegate.reports.clear();
    downloader->downloadModel(model);
    ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));
    EXPECT_TRUE(std::holds_alternative<DownloadStarted>(delegate.reports.front()));
    EXPECT_TRUE(std::holds_alternative<DownloadCompleted>(delegate.reports.back()));
    EXPECT_EQ(contents(pathOf(model)), generatedBody(100 * 1024));
}

TEST_F(ModelDownloaderTest, CancelOnAnIdleDownloaderOnlyClearsItsState)
{
    auto downloader = ModelDownloader::create();
    downloader->setDelegate(&delegate);
    downloader->cancelDownload();
    pumpFor(50);
    EXPECT_FALSE(downloader->currentModel().has_value());
    EXPECT_FALSE(downloader->isRunning());
    EXPECT_TRUE(delegate.reports.empty());
}

TEST_F(ModelDownloaderTest, AddressThatIsNoUrlFailsAfterTheCallReturned)
{
    qputenv("TALLOWIND_MODEL_BASE_URL", "http://exa mple.org:notaport");
    auto downloader = start();
    // Nothing is reported inside downloadModel().
    EXPECT_TRUE(delegate.reports.empty());
    ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));
    ASSERT_EQ(delegate.reports.size(), 1u);
    EXPECT_EQ(delegate.failure()->kind(), TallowindError::Kind::invalidModelURL);
    EXPECT_EQ(delegate.failure()->errorDescription(), "Invalid model URL");
    EXPECT_TRUE(delegate.allOnMainThread);
    EXPECT_TRUE(downloader->currentModel() == model);
}

TEST_F(ModelDownloaderTest, DownloadGoesOnWhenOwnerAndDelegateLetGo)
{
    HttpRoute slow = generated(1024 * 1024, 64 * 1024);
    slow.chunkDelayMs = 5;
    serve(model, slow);

    auto gone = std::make_unique<RecordingDelegate>();
    std::weak_ptr<ModelDownloader> watch;
    {
        auto downloader = ModelDownloader::create();
        downloader->setDelegate(gone.get());
        downloader->downloadModel(model);
        watch = downloader;
    }
    gone.reset();
    ASSERT_TRUE(pumpUntil([&] { return QFileInfo::exists(pathOf(model)); }));
    EXPECT_EQ(contents(pathOf(model)), generatedBody(1024 * 1024));
    // Released after its final report.
    EXPECT_TRUE(pumpUntil([&] { return watch.expired(); }));
}

TEST_F(ModelDownloaderTest, ModelsFolderThatCannotTakeFilesFailsBeforeAnyRequest)
{
    serve(model, generated(1000));
    ASSERT_TRUE(QDir(modelsFolder()).removeRecursively());
    writeFile(modelsFolder(), "a file where the folder should be");

    auto downloader = start();
    ASSERT_TRUE(pumpUntil([&] { return delegate.ended(); }));
    ASSERT_TRUE(delegate.failure().has_value());
    EXPECT_EQ(delegate.failure()->kind(), TallowindError::Kind::fileOperationFailed);
    EXPECT_EQ(server.requestCount(routeOf(model)), 0);
    EXPECT_TRUE(QFile::remove(modelsFolder()));
}
