#pragma once

#include <atomic>
#include <memory>

// How the current or last recording was started. It outlives the recording:
// text insertion reads it after transcription to decide whether to paste.
enum class RecordingMode { pushToTalk, toggle, studio };

struct RecordingState {
    RecordingMode mode = RecordingMode::pushToTalk;
    bool isActive = false;

    // The recording indicator, with its finish button, accompanies every
    // running shortcut recording; the studio has its own stop button.
    constexpr bool showsDoneButton() const { return isActive && mode != RecordingMode::studio; }

    friend constexpr bool operator==(const RecordingState&, const RecordingState&) = default;
};

// Receives the manager's change reports. The manager holds it weakly: once a
// delegate is destroyed it is no longer called.
class RecordingStateDelegate {
public:
    RecordingStateDelegate() = default;
    // A copy is a different receiver with a lifetime of its own.
    RecordingStateDelegate(const RecordingStateDelegate&) { }
    RecordingStateDelegate& operator=(const RecordingStateDelegate&) { return *this; }
    virtual ~RecordingStateDelegate() = default;
    virtual void recordingStateDidChange(const RecordingState& state) = 0;
    virtual void recordingDidComplete() = 0;

private:
    friend class RecordingStateManager;
    // Expires with the delegate; the manager keeps only a weak reference to it.
    std::shared_ptr<RecordingStateDelegate*> liveness = std::make_shared<RecordingStateDelegate*>(this);
};

// Holds the recording-mode state and reports every change to its delegate.
// The operations run on the main thread; the state may also be read from the
// transcription worker, so it is kept in an atomic.
class RecordingStateManager {
public:
    RecordingStateManager() = default;
    RecordingStateManager(const RecordingStateManager&) = delete;
    RecordingStateManager& operator=(const RecordingStateManager&) = delete;

    RecordingStateDelegate* delegate() const;
    void setDelegate(RecordingStateDelegate* delegate);

    RecordingState currentState() const { return storedState.load(); }
    void setCurrentState(const RecordingState& state) { storedState.store(state); }

    // None of these checks the previous state: starting while active replaces
    // the mode, and stopping or cancelling while inactive still reports.
    void startRecording(RecordingMode mode);
    // Reports the change, then the completion.
    void stopRecording();
    // Reports the change only.
    void cancelRecording();

private:
    std::weak_ptr<RecordingStateDelegate*> weakDelegate;
    std::atomic<RecordingState> storedState{RecordingState{}};
};
