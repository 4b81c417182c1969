#include "popover/PopoverViewModel.h"

#include "PopoverFixture.h"

#include "base/Defaults.h"
#include "base/Dispatch.h"

#include <QSignalSpy>
#include <QThread>

#include <thread>

namespace {

using PopoverRows = PopoverTest;

QStringList identifiers(const QList<WhisperModelInfo>& rows)
{
    QStringList ids;
    for (const WhisperModelInfo& row : rows)
        ids.append(row.id);
    return ids;
}

TEST_F(PopoverRows, FourInactiveRowsInCatalogueOrderWithoutAnActiveModel)
{
    FakePopoverHost host;
    PopoverViewModel model(&host);

    const QList<WhisperModelInfo> rows = model.models();
    EXPECT_EQ(
        identifiers(rows), QStringList({"large-v3-turbo-q5_0", "large-v3-turbo-q8_0", "large-v3-turbo", "large-v3"}));
    for (const WhisperModelInfo& row : rows) {
        EXPECT_FALSE(row.isActive) << row.id.toStdString();
        EXPECT_FALSE(row.isDownloaded) << row.id.toStdString();
    }
    EXPECT_FALSE(model.activeModel().has_value());
    EXPECT_EQ(rows[0].displayName, "Large v3 Turbo Q5");
    EXPECT_EQ(rows[0].estimatedSize, "547 MB");
    EXPECT_EQ(rows[3].description,
        "Original Large v3 model. Maximum accuracy but slower. Best for highest quality transcriptions.");
}

TEST_F(PopoverRows, ActiveModelNeedNotBeOnDisk)
{
    writeModelFile(WhisperModel::largeV3TurboQ5);
    Defaults::setValue(ModelManager::activeModelKey, QStringLiteral("large-v3"));
    FakePopoverHost host;
    PopoverViewModel model(&host);

    const QList<WhisperModelInfo> rows = model.models();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_TRUE(rows[0].isDownloaded);
    EXPECT_FALSE(rows[0].isActive);
    EXPECT_FALSE(rows[1].isDownloaded);
    EXPECT_FALSE(rows[2].isDownloaded);
    EXPECT_FALSE(rows[3].isDownloaded);
    EXPECT_TRUE(rows[3].isActive);
    ASSERT_TRUE(model.activeModel().has_value());
    EXPECT_EQ(model.activeModel()->whisperModel, WhisperModel::largeV3);
}

TEST_F(PopoverRows, UnknownActiveIdentifierMeansNoActiveRow)
{
    Defaults::setValue(ModelManager::activeModelKey, QStringLiteral("tiny.en"));
    FakePopoverHost host;
    PopoverViewModel model(&host);
    EXPECT_FALSE(model.activeModel().has_value());
}

TEST_F(PopoverRows, RowsFollowDownloadsDeletionsAndActiveChangesMadeElsewhere)
{
    FakePopoverHost host;
    PopoverViewModel model(&host);
    QSignalSpy published(&model, &PopoverViewModel::modelsChanged);

    // A download lands, then the Settings window makes it active.
    writeModelFile(WhisperModel::largeV3TurboQ8);
    ModelManager::shared().setActiveModel(WhisperModel::largeV3TurboQ8);
    ASSERT_GE(published.count(), 1);
    EXPECT_TRUE(model.models()[1].isDownloaded);
    EXPECT_TRUE(model.models()[1].isActive);

    // The model store deletes it (and forgets it as the active model).
    ASSERT_FALSE(ModelManager::shared().deleteModel(WhisperModel::largeV3TurboQ8).has_value());
    EXPECT_FALSE(model.models()[1].isDownloaded);
    EXPECT_FALSE(model.activeModel().has_value());
}

TEST_F(PopoverRows, AnyWriteToTheSettingsStoreRepublishesTheRows)
{
    FakePopoverHost host;
    PopoverViewModel model(&host);
    QSignalSpy published(&model, &PopoverViewModel::modelsChanged);

    Defaults::setValue(QStringLiteral("EnableSoundEffects"), true);
    EXPECT_EQ(published.count(), 1);
    Defaults::remove(QStringLiteral("EnableSoundEffects"));
    EXPECT_EQ(published.count(), 2);
}

// The change is made on a worker thread; the rows are rebuilt and published
// on the main thread only.
TEST_F(PopoverRows, WritesFromAnotherThreadReachTheRowsOnTheMainThread)
{
    writeModelFile(WhisperModel::largeV3Turbo);
    FakePopoverHost host;
    PopoverViewModel model(&host);
    std::vector<QThread*> publishingThreads;
    QObject::connect(
        &model, &PopoverViewModel::modelsChanged, &model,
        [&] { publishingThreads.push_back(QThread::currentThread()); }, Qt::DirectConnection);

    std::thread writer([] { ModelManager::shared().setActiveModel(WhisperModel::largeV3Turbo); });
    writer.join();
    EXPECT_TRUE(publishingThreads.empty()) << "published on the writer's thread";

    ASSERT_TRUE(Dispatch::drainMainQueue());
    ASSERT_EQ(publishingThreads.size(), 1U);
    EXPECT_EQ(publishingThreads[0], QThread::currentThread());
    EXPECT_TRUE(model.models()[2].isActive);
}

TEST_F(PopoverRows, SelectingAModelNotOnDiskStillMakesItActive)
{
    FakePopoverHost host;
    PopoverViewModel model(&host);
    const WhisperModelInfo v3 = model.models()[3];
    ASSERT_FALSE(v3.isDownloaded);

    model.selectModel(v3);

    EXPECT_EQ(Defaults::value(ModelManager::activeModelKey).toString(), "large-v3");
    ASSERT_TRUE(model.activeModel().has_value());
    EXPECT_EQ(model.activeModel()->id, "large-v3");
}

using PopoverExpansion = PopoverTest;

TEST_F(PopoverExpansion, EveryCallPublishesAndAsksForAResize)
{
    FakePopoverHost host;
    PopoverViewModel model(&host);
    QSignalSpy published(&model, &PopoverViewModel::isExpandedChanged);
    EXPECT_FALSE(model.isExpanded());

    model.setExpanded(true);
    model.setExpanded(true);
    model.setExpanded(false);

    EXPECT_EQ(published.count(), 3);
    EXPECT_EQ(host.resizes, (std::vector<bool>{true, true, false}));
    EXPECT_FALSE(model.isExpanded());
}

TEST_F(PopoverExpansion, WithoutTheControllerTheFlagStillChanges)
{
    auto host = std::make_unique<FakePopoverHost>();
    PopoverViewModel model(host.get());
    host.reset();
    EXPECT_EQ(model.host(), nullptr);

    model.setExpanded(true);
    EXPECT_TRUE(model.isExpanded());
}

using PopoverWordList = PopoverTest;

TEST_F(PopoverWordList, StoredStringsAreLoadedAndAnythingElseReadsAsEmpty)
{
    Defaults::setValue(PopoverViewModel::dictionaryWordsKey, QStringList{"Tallowind", "ggml"});
    EXPECT_EQ(PopoverViewModel(nullptr).dictionaryWords(), QStringList({"Tallowind", "ggml"}));

    Defaults::setValue(PopoverViewModel::dictionaryWordsKey, QVariantList{QStringLiteral("word"), 3});
    EXPECT_TRUE(PopoverViewModel(nullptr).dictionaryWords().isEmpty());

    Defaults::setValue(PopoverViewModel::dictionaryWordsKey, QStringLiteral("not a list"));
    EXPECT_TRUE(PopoverViewModel(nullptr).dictionaryWords().isEmpty());
}

} // namespace
