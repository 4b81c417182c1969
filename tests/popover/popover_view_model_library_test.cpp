#include "popover/PopoverViewModel.h"

#include "PopoverFixture.h"

#include "base/Defaults.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/Patience.h"

#include <QSignalSpy>

namespace {

class PopoverWords : public PopoverTest {
protected:
    static QStringList stored() { return Defaults::value(PopoverViewModel::dictionaryWordsKey).toStringList(); }
};

TEST_F(PopoverWords, WordsAreStoredTrimmedOnceAndCaseSensitivelyApartFromTheRecognizers)
{
    Defaults::setValue(QStringLiteral("WhisperDictionaryWords"), QStringList{"kept"});
    PopoverViewModel model(nullptr);
    model.addWord(QStringLiteral("  Tallowind\n"));
    model.addWord(QStringLiteral("Tallowind"));
    model.addWord(QStringLiteral("tallowind"));
    model.addWord(QStringLiteral(" \t\n"));

    EXPECT_EQ(model.dictionaryWords(), QStringList({"Tallowind", "tallowind"}));
    EXPECT_EQ(stored(), QStringList({"Tallowind", "tallowind"}));
    EXPECT_EQ(PopoverViewModel(nullptr).dictionaryWords(), QStringList({"Tallowind", "tallowind"}));
    EXPECT_EQ(Defaults::value(QStringLiteral("WhisperDictionaryWords")).toStringList(), QStringList({"kept"}));
}

TEST_F(PopoverWords, TheThousandAndFirstWordIsRefusedWithoutAWrite)
{
    QStringList full;
    for (int i = 0; i < 1000; ++i)
        full.append(QStringLiteral("word%1").arg(i));
    Defaults::setValue(PopoverViewModel::dictionaryWordsKey, full);
    PopoverViewModel model(nullptr);
    QSignalSpy writes(&Defaults::changes(), &Defaults::ChangeSignal::changed);

    model.addWord(QStringLiteral("one more"));
    EXPECT_EQ(model.dictionaryWords().size(), 1000);
    EXPECT_EQ(writes.count(), 0);
}

TEST_F(PopoverWords, RemovalMatchesExactlyAndAlwaysRewritesTheList)
{
    Defaults::setValue(PopoverViewModel::dictionaryWordsKey, QStringList{"alpha", "beta", "alpha"});
    PopoverViewModel model(nullptr);
    QSignalSpy writes(&Defaults::changes(), &Defaults::ChangeSignal::changed);

    model.removeWord(QStringLiteral(" alpha"));
    EXPECT_EQ(model.dictionaryWords(), QStringList({"alpha", "beta", "alpha"}));
    EXPECT_EQ(writes.count(), 1) << "rewritten although nothing matched";

    model.removeWord(QStringLiteral("alpha"));
    EXPECT_EQ(model.dictionaryWords(), QStringList({"beta"}));
    EXPECT_EQ(stored(), QStringList({"beta"}));
}

using PopoverDeletion = PopoverTest;

TEST_F(PopoverDeletion, DeletingTheActiveModelFallsBackToTheFirstOtherModelOnDisk)
{
    writeModelFile(WhisperModel::largeV3TurboQ5);
    writeModelFile(WhisperModel::largeV3TurboQ8);
    writeModelFile(WhisperModel::largeV3);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ8);
    PopoverViewModel model(nullptr);

    model.deleteModel(model.models()[1]);

    EXPECT_FALSE(ModelManager::shared().isModelDownloaded(WhisperModel::largeV3TurboQ8));
    EXPECT_EQ(ModelManager::shared().activeModel(), WhisperModel::largeV3TurboQ5);
    EXPECT_FALSE(model.models()[1].isDownloaded);
    ASSERT_TRUE(model.activeModel().has_value());
    EXPECT_EQ(model.activeModel()->whisperModel, WhisperModel::largeV3TurboQ5);
}

TEST_F(PopoverDeletion, DeletingAnotherModelKeepsTheActiveOne)
{
    writeModelFile(WhisperModel::largeV3TurboQ5);
    writeModelFile(WhisperModel::largeV3Turbo);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3Turbo);
    PopoverViewModel model(nullptr);
    // The row is stale: it was made before the active model changed.
    const WhisperModelInfo staleRow = WhisperModelInfo::make(WhisperModel::largeV3TurboQ5, true, true);

    model.deleteModel(staleRow);
    EXPECT_EQ(ModelManager::shared().activeModel(), WhisperModel::largeV3Turbo);
    EXPECT_FALSE(model.models()[0].isDownloaded);
}

// The model store forgets a deleted active model, so with nothing else on
// disk no model is active (rather than one whose file is gone).
TEST_F(PopoverDeletion, DeletingTheOnlyModelLeavesNoneActiveAndAModelAlreadyGoneChangesNothing)
{
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ8);
    PopoverViewModel model(nullptr);
    QSignalSpy rows(&model, &PopoverViewModel::modelsChanged);
    model.deleteModel(model.models()[1]);
    EXPECT_EQ(rows.count(), 0);
    EXPECT_EQ(ModelManager::shared().activeModel(), WhisperModel::largeV3TurboQ8);

    writeModelFile(WhisperModel::largeV3);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3);
    model.deleteModel(model.models()[3]);
    EXPECT_FALSE(ModelManager::shared().activeModel().has_value());
    EXPECT_FALSE(model.activeModel().has_value());
    EXPECT_FALSE(model.models()[3].isDownloaded);
}

class PopoverDownloads : public PopoverTest {
protected:
    void SetUp() override
    {
        PopoverTest::SetUp();
        qputenv("TALLOWIND_MODEL_BASE_URL", server.baseUrl().toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("TALLOWIND_MODEL_BASE_URL");
        PopoverTest::TearDown();
    }
    void serve(WhisperModel which, HttpRoute route) { server.setRoute(routeOf(which), route); }
    static QString routeOf(WhisperModel which)
    {
        return QStringLiteral("/orvandel/whisper.cpp/resolve/main/") + which.fileName();
    }
    static HttpRoute slowModel(qint64 size)
    {
        HttpRoute route;
        route.generatedSize = size;
        route.chunkSize = 16 * 1024;
        route.chunkDelayMs = 20;
        return route;
    }

    LocalHttpServer server;
};

TEST_F(PopoverDownloads, ProgressIsKeptWhileItRunsAndTheRowShowsTheFileAfterwards)
{
    serve(WhisperModel::largeV3TurboQ8, slowModel(256 * 1024));
    PopoverViewModel model(nullptr);
    std::vector<double> seen;
    QObject::connect(
        &model, &PopoverViewModel::downloadProgressChanged, &model, [&](const QMap<QString, double>& progress) {
            if (progress.contains("large-v3-turbo-q8_0"))
                seen.push_back(progress.value("large-v3-turbo-q8_0"));
        });

    model.downloadModel(model.models()[1]);
    model.downloadModel(model.models()[1]);
    EXPECT_TRUE(model.isDownloading(WhisperModel::largeV3TurboQ8));
    ASSERT_TRUE(pumpUntil([&] { return !model.isDownloading(WhisperModel::largeV3TurboQ8); }, Patience::transfer));

    EXPECT_EQ(server.requestCount(routeOf(WhisperModel::largeV3TurboQ8)), 1) << "the second start is ignored";
    ASSERT_GE(seen.size(), 2U);
    EXPECT_EQ(seen.front(), 0.0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LE(seen.back(), 1.0);
    EXPECT_TRUE(model.downloadProgress().isEmpty());
    EXPECT_TRUE(model.models()[1].isDownloaded);
}

TEST_F(PopoverDownloads, AFailedDownloadLeavesNoEntriesBehind)
{
    HttpRoute missing;
    missing.status = 404;
    missing.body = "not here";
    serve(WhisperModel::largeV3, missing);
    PopoverViewModel model(nullptr);
    QSignalSpy rows(&model, &PopoverViewModel::modelsChanged);

    model.downloadModel(model.models()[3]);
    ASSERT_TRUE(pumpUntil([&] { return !model.isDownloading(WhisperModel::largeV3); }, Patience::transfer));
    EXPECT_TRUE(model.downloadProgress().isEmpty());
    EXPECT_GE(rows.count(), 1) << "the rows are rebuilt";
    EXPECT_FALSE(model.models()[3].isDownloaded);
}

TEST_F(PopoverDownloads, CancellingForgetsTheDownloadForGood)
{
    serve(WhisperModel::largeV3TurboQ5, slowModel(4 * 1024 * 1024));
    PopoverViewModel model(nullptr);
    model.cancelDownload(model.models()[0]);
    EXPECT_TRUE(model.downloadProgress().isEmpty()) << "nothing to cancel";

    model.downloadModel(model.models()[0]);
    ASSERT_TRUE(
        pumpUntil([&] { return model.downloadProgress().value("large-v3-turbo-q5_0") > 0.0; }, Patience::transfer));
    model.cancelDownload(model.models()[0]);
    EXPECT_FALSE(model.isDownloading(WhisperModel::largeV3TurboQ5));
    EXPECT_TRUE(model.downloadProgress().isEmpty());

    // Reports already on their way must not bring the entry back.
    pumpFor(300);
    EXPECT_TRUE(model.downloadProgress().isEmpty());
    EXPECT_FALSE(model.models()[0].isDownloaded);
}

} // namespace
