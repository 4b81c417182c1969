#pragma once

// What the recording indicator asks of the application: its two buttons act
// on the recording the indicator is shown for. Implemented by the controller.
class RecordingIndicatorHost {
public:
    virtual ~RecordingIndicatorHost() = default;
    // Ends the recording without transcribing it.
    virtual void cancelIndicatedRecording() = 0;
    // Ends the recording and hands it on for transcription, as releasing the
    // shortcut would.
    virtual void finishIndicatedRecording() = 0;
};
