// The controller as the popover's host: the studio records through the same
// capture and transcription as a shortcut dictation, in the studio mode.
#include "controller/AppDelegate.h"

#include "popover/PopoverViewModel.h"

#include <QWidget>

#include <cmath>

// Grows or shrinks the popover panel to the layout's height, keeping its top
// edge where it is; does nothing without a panel or for less than a pixel.
void AppDelegate::resizePopoverPanel(bool expanded)
{
    if (!popoverWindow)
        return;
    const int target = expanded ? PopoverViewModel::expandedHeight : PopoverViewModel::collapsedHeight;
    QRect frame = popoverWindow->geometry();
    if (std::abs(frame.height() - target) < 1)
        return;
    frame.setHeight(target);
    popoverWindow->setGeometry(frame);
}

void AppDelegate::openSettings()
{
    showSettings();
}

void AppDelegate::startStudioRecording()
{
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
