#include "core/state/RecordingState.h"

RecordingStateDelegate* RecordingStateManager::delegate() const
{
    const auto alive = weakDelegate.lock();
    return alive ? *alive : nullptr;
}

void RecordingStateManager::setDelegate(RecordingStateDelegate* delegate)
{
    weakDelegate = delegate ? std::weak_ptr<RecordingStateDelegate*>(delegate->liveness)
                            : std::weak_ptr<RecordingStateDelegate*>();
}

void RecordingStateManager::startRecording(RecordingMode mode)
{
    const RecordingState state{mode, true};
    setCurrentState(state);
    if (RecordingStateDelegate* receiver = delegate())
        receiver->recordingStateDidChange(state);
}

void RecordingStateManager::stopRecording()
{
    const RecordingState state{currentState().mode, false};
    setCurrentState(state);
    if (RecordingStateDelegate* receiver = delegate())
        receiver->recordingStateDidChange(state);
    if (RecordingStateDelegate* receiver = delegate())
        receiver->recordingDidComplete();
}

void RecordingStateManager::cancelRecording()
{
    const RecordingState state{currentState().mode, false};
    setCurrentState(state);
    if (RecordingStateDelegate* receiver = delegate())
        receiver->recordingStateDidChange(state);
}
