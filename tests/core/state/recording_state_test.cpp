#include "core/state/RecordingState.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

class RecordingDelegate : public RecordingStateDelegate {
public:
    void recordingStateDidChange(const RecordingState& state) override
    {
        reports << QStringLiteral("changed %1 %2").arg(static_cast<int>(state.mode)).arg(state.isActive);
    }
    void recordingDidComplete() override { reports << QStringLiteral("complete"); }

    QStringList reports;
};

QString changed(RecordingMode mode, bool active)
{
    return QStringLiteral("changed %1 %2").arg(static_cast<int>(mode)).arg(active);
}

} // namespace

TEST(RecordingStateManager, StartsAsInactivePushToTalk)
{
    RecordingStateManager manager;
    EXPECT_EQ(manager.currentState(), (RecordingState{RecordingMode::pushToTalk, false}));
    EXPECT_EQ(manager.delegate(), nullptr);
}

TEST(RecordingStateManager, StopKeepsTheModeAndReportsCompletionAfterTheChange)
{
    RecordingStateManager manager;
    RecordingDelegate delegate;
    manager.setDelegate(&delegate);

    manager.startRecording(RecordingMode::studio);
    EXPECT_EQ(manager.currentState(), (RecordingState{RecordingMode::studio, true}));
    manager.stopRecording();
    EXPECT_EQ(manager.currentState(), (RecordingState{RecordingMode::studio, false}));
    EXPECT_EQ(delegate.reports,
        (QStringList{changed(RecordingMode::studio, true), changed(RecordingMode::studio, false), "complete"}));
}

TEST(RecordingStateManager, CancelReportsOnlyTheChangeAndNothingChecksThePreviousState)
{
    RecordingStateManager manager;
    RecordingDelegate delegate;
    manager.setDelegate(&delegate);

    manager.cancelRecording();
    manager.startRecording(RecordingMode::toggle);
    manager.startRecording(RecordingMode::pushToTalk);
    manager.cancelRecording();
    EXPECT_EQ(manager.currentState(), (RecordingState{RecordingMode::pushToTalk, false}));
    EXPECT_EQ(delegate.reports,
        (QStringList{changed(RecordingMode::pushToTalk, false), changed(RecordingMode::toggle, true),
            changed(RecordingMode::pushToTalk, true), changed(RecordingMode::pushToTalk, false)}));
}

TEST(RecordingStateManager, DelegateIsHeldWeakly)
{
    RecordingStateManager manager;
    manager.startRecording(RecordingMode::toggle);
    manager.stopRecording();
    EXPECT_EQ(manager.currentState(), (RecordingState{RecordingMode::toggle, false}));

    {
        RecordingDelegate delegate;
        manager.setDelegate(&delegate);
        EXPECT_EQ(manager.delegate(), &delegate);
    }
    EXPECT_EQ(manager.delegate(), nullptr);
    manager.startRecording(RecordingMode::studio);
    manager.stopRecording();
    EXPECT_EQ(manager.currentState(), (RecordingState{RecordingMode::studio, false}));

    // A copy of a delegate is a receiver of its own.
    auto original = std::make_unique<RecordingDelegate>();
    RecordingDelegate copy = *original;
    manager.setDelegate(original.get());
    original.reset();
    EXPECT_EQ(manager.delegate(), nullptr);
    manager.setDelegate(&copy);
    manager.cancelRecording();
    EXPECT_EQ(copy.reports.size(), 1);
}
