#include "shell/indicator/RecordingProgressViewModel.h"

#include "base/Dispatch.h"
#include "recording/RecordingManager.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

QList<float> zeros(int count)
{
    return QList<float>(count, 0.0f);
}

class RecordingProgressViewModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RecordingManager::shared().setAudioLevel(0.0f);
        Dispatch::drainMainQueue();
    }
    void TearDown() override
    {
        RecordingManager::shared().setAudioLevel(0.0f);
        Dispatch::drainMainQueue();
    }
};

} // namespace

TEST_F(RecordingProgressViewModelTest, HearsTheStoreOnTheQueueNewestFirstAndTheOldestFallsOff)
{
    RecordingManager::shared().setAudioLevel(0.4f);
    RecordingProgressViewModel model;
    EXPECT_EQ(model.audioLevels(), zeros(30));
    EXPECT_TRUE(model.isRecording());
    Dispatch::drainMainQueue();
    EXPECT_FLOAT_EQ(model.audioLevels()[0], 0.4f);
    EXPECT_EQ(model.audioLevels().mid(1), zeros(29));
    // The dictation path never sets the store's own recording flag.
    EXPECT_FALSE(model.isRecording());

    QSignalSpy changes(&model, &RecordingProgressViewModel::audioLevelsChanged);
    for (float level : {0.1f, 0.2f, 0.3f})
        RecordingManager::shared().setAudioLevel(level);
    // Equal values are announced too and each one shifts the history.
    RecordingManager::shared().setAudioLevel(0.3f);
    Dispatch::drainMainQueue();
    EXPECT_EQ(changes.size(), 4);
    EXPECT_EQ(model.audioLevels().mid(0, 5), (QList<float>{0.3f, 0.3f, 0.2f, 0.1f, 0.4f}));

    for (int i = 0; i < 40; ++i)
        model.updateAudioLevel(static_cast<float>(i) / 100.0f);
    ASSERT_EQ(model.audioLevels().size(), 30);
    EXPECT_FLOAT_EQ(model.audioLevels().front(), 0.39f);
    EXPECT_FLOAT_EQ(model.audioLevels().back(), 0.10f);
}

TEST_F(RecordingProgressViewModelTest, FollowsTheStoresRecordingFlagAndDropsValuesAfterItIsGone)
{
    auto model = std::make_unique<RecordingProgressViewModel>();
    Dispatch::drainMainQueue();
    QSignalSpy flags(model.get(), &RecordingProgressViewModel::isRecordingChanged);
    RecordingManager::shared().setIsRecording(true);
    Dispatch::drainMainQueue();
    EXPECT_TRUE(model->isRecording());
    RecordingManager::shared().setIsRecording(false);
    Dispatch::drainMainQueue();
    EXPECT_FALSE(model->isRecording());
    EXPECT_EQ(flags.size(), 2);

    // A level queued for a model that is gone is dropped, not delivered.
    RecordingManager::shared().setAudioLevel(0.5f);
    model.reset();
    EXPECT_TRUE(Dispatch::drainMainQueue());
}
