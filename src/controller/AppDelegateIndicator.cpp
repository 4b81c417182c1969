// The controller's recording indicator: the panel next to the focused text
// field while a shortcut recording runs, and the focus tracking that moves it.
#include "controller/AppDelegate.h"

#include "recording/RecordingManager.h"
#include "shell/indicator/FocusFieldDetector.h"
#include "shell/indicator/RecordingIndicatorPanel.h"
#include "shell/indicator/RecordingProgressView.h"
#include "shell/windows/ScreenInUse.h"

namespace {

RecordingIndicatorPanel* panelOf(const QPointer<QWidget>& window)
{
    return qobject_cast<RecordingIndicatorPanel*>(window.data());
}

} // namespace

void AppDelegate::showFocusIndicator()
{
    if (!recordingProgressWindow)
        createRecordingProgressWindow();
    if (!focusFieldDetector)
        focusFieldDetector =
            std::make_shared<FocusFieldDetector>(platformServices.focusSource, platformServices.frontmostApplication);

    const std::optional<FocusedField> field = focusFieldDetector->getCurrentFocusedField();
    showRecordingProgressWindow(field ? std::optional<QRectF>(field->bounds) : std::nullopt);

    if (focusFieldDetector->isCurrentlyObserving())
        return;
    QPointer<AppDelegate> self(this);
    focusFieldDetector->startObserving([self](const std::optional<FocusedField>& reported) {
        // Each report is placed from its own turn of the main queue, so a hide
        // queued after it always comes last.
        const std::optional<QRectF> near = reported ? std::optional<QRectF>(reported->bounds) : std::nullopt;
        Dispatch::main().async([self, near] {
            if (self)
                self->showRecordingProgressWindow(near);
        });
    });
}

void AppDelegate::hideFocusIndicator()
{
    if (focusFieldDetector)
        focusFieldDetector->stopObserving();
    QPointer<AppDelegate> self(this);
    Dispatch::main().async([self] {
        if (!self)
            return;
        // A show still queued when the recording ended (it was refused before
        // the indicator came up) has started an observation since: it ends
        // with the indicator.
        if (self->focusFieldDetector)
            self->focusFieldDetector->stopObserving();
        self->hideRecordingProgressWindow();
    });
}

void AppDelegate::createRecordingProgressWindow()
{
    // Without a field it shows on the monitor the user works on.
    auto* panel = new RecordingIndicatorPanel(this, [frontmost = platformServices.frontmostApplication] {
        return IndicatorPlacement::desktopScreens(ScreenInUse::screen(frontmost.get()));
    });
    recordingProgressWindow = panel;
    recordingProgressHostingController = panel->view();
}

void AppDelegate::showRecordingProgressWindow(const std::optional<QRectF>& near)
{
    if (RecordingIndicatorPanel* panel = panelOf(recordingProgressWindow))
        panel->showNear(near);
}

void AppDelegate::hideRecordingProgressWindow()
{
    if (RecordingIndicatorPanel* panel = panelOf(recordingProgressWindow))
        panel->hideIndicator();
}

// The indicator's buttons end the recording that runs; without one of ours,
// they go to the recording store's own recording, whose refusal is dropped.
void AppDelegate::cancelIndicatedRecording()
{
    if (isRecording()) {
        cancelRecording();
        return;
    }
    if (RecordingManager::shared().isRecording())
        RecordingManager::shared().cancelRecording([](const auto&) {});
}

void AppDelegate::finishIndicatedRecording()
{
    if (isRecording()) {
        stopRecordingAndTranscribe();
        return;
    }
    if (RecordingManager::shared().isRecording())
        RecordingManager::shared().completeRecording([](const QString&, const auto&) {});
}
