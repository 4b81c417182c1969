// The controller as the popover's host: the studio records through the same
// capture and transcription as a shortcut dictation, in the studio mode.
#include "controller/AppDelegate.h"

#include "popover/PopoverViewModel.h"

#include <QWidget>

#include <cmath>

// The panel animates between its two heights, keeping its top edge.
void AppDelegate::resizePopoverPanel(bool expanded)
{
    resizePopover(expanded);
}

void AppDelegate::openSettings()
{
    showSettings();
}

void AppDelegate::startStudioRecording()
{
    // A shortcut's recording runs until its own stop, which types all of it;
    // the shortcuts likewise leave a studio recording alone.
    if (isRecording() && recordingMode() != RecordingMode::studio)
        return;
    recordingStateManager().startRecording(RecordingMode::studio);
    startRecording();
}

void AppDelegate::stopStudioRecording()
{
    stopRecording();
}

bool AppDelegate::isCapturing() const
{
    return recordingInProgress.load();
}

RecordingMode AppDelegate::recordingMode() const
{
    return recordingStateManager().currentState().mode;
}
