#include "popover/PopoverViewModel.h"

#include "PopoverFixture.h"

#include "base/Defaults.h"
#include "base/Dispatch.h"

#include <QSignalSpy>
#include <QThread>

#include <thread>

namespace {

using PopoverRows = PopoverTest;

TEST_F(PopoverRows, TheActiveModelNeedNotBeOnDiskAndAnUnknownIdentifierMeansNone)
{
    FakePopoverHost host;
    EXPECT_EQ(PopoverViewModel(&host).models().size(), 4);
    EXPECT_FALSE(PopoverViewModel(&host).activeModel().has_value());

    writeModelFile(WhisperModel::largeV3TurboQ5);
    Defaults::setValue(ModelManager::activeModelKey, QStringLiteral("large-v3"));
    PopoverViewModel model(&host);
    const QList<WhisperModelInfo> rows = model.models();
    ASSERT_EQ(rows.size(), 4);
    for (int row = 0; row < rows.size(); ++row) {
        EXPECT_EQ(rows[row].isDownloaded, row == 0) << row;
        EXPECT_EQ(rows[row].isActive, row == 3) << row;
    }
    ASSERT_TRUE(model.activeModel().has_value());
    EXPECT_EQ(model.activeModel()->whisperModel, WhisperModel::largeV3);

    Defaults::setValue(ModelManager::activeModelKey, QStringLiteral("tiny.en"));
    EXPECT_FALSE(PopoverViewModel(&host).activeModel().has_value());
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

TEST_F(PopoverExpansion, EveryCallPublishesAndAsksForAResizeAndWithoutTheControllerTheFlagStillChanges)
{
    auto host = std::make_unique<FakePopoverHost>();
    PopoverViewModel model(host.get());
    QSignalSpy published(&model, &PopoverViewModel::isExpandedChanged);

    model.setExpanded(true);
    model.setExpanded(true);
    model.setExpanded(false);
    EXPECT_EQ(published.count(), 3);
    EXPECT_EQ(host->resizes, (std::vector<bool>{true, true, false}));

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
