// Start-up, re-arming the shortcuts once a model exists, the two model
// notifications and termination.
#include "controller/AppDelegate.h"

#include "core/input/TextInsertion.h"
#include "core/speech/ModelManager.h"
#include "core/state/RecordingState.h"
#include "downloads/ModelDownloader.h"
#include "platform/HotkeyTap.h"

#include "platform/AudioCapture.h"

#include <QTimer>
#include <QWidget>

namespace {

// Notifications may be posted from any thread; the controller's state is
// the main thread's.
void onMainThread(QPointer<AppDelegate> target, void (AppDelegate::*member)())
{
    if (Dispatch::isMainThread()) {
        if (target)
            (target->*member)();
        return;
    }
    Dispatch::main().async([target, member] {
        if (target)
            (target->*member)();
    });
}

} // namespace

void AppDelegate::applicationDidFinishLaunching()
{
    // No window and no taskbar entry of its own: the tray icon is the
    // application.
    setupMenuBar();

    ModelManager::shared().validateDownloadedModels();
    if (ModelManager::shared().downloadedModels().isEmpty())
        showFirstLaunchWindow();
    else
        setupGlobalHotkey();

    QPointer<AppDelegate> self(this);
    observations.emplace_back(QStringLiteral("ActiveModelChanged"),
        [self](const Notification&) { onMainThread(self, &AppDelegate::activeModelChanged); });
    observations.emplace_back(QStringLiteral("FirstModelDownloaded"),
        [self](const Notification&) { onMainThread(self, &AppDelegate::firstModelDownloaded); });
    // A model switched or deleted in the store must not stay loaded: the
    // next dictation loads the model the user chose.
    for (const QString& name : {NotificationName::modelDidChange, NotificationName::modelWasDeleted})
        observations.emplace_back(name, [self](const Notification&) { onMainThread(self, &AppDelegate::modelChosen); });

    setupLiveSpeechTranscriber();
    ownedRecordingStateManager->setDelegate(this);
}

void AppDelegate::ensureHotkeysSetupIfNeeded()
{
    ModelManager::shared().validateDownloadedModels();
    if (!ModelManager::shared().downloadedModels().isEmpty() && !eventTap)
        setupGlobalHotkey();
}

void AppDelegate::firstLaunchCompleted()
{
    ModelManager::shared().validateDownloadedModels();
    setupGlobalHotkey();
}

void AppDelegate::firstModelDownloaded()
{
    ModelManager::shared().validateDownloadedModels();
    if (!eventTap)
        setupGlobalHotkey();
}

void AppDelegate::activeModelChanged()
{
    // The next recording loads the then active model. The old bridge is
    // released outside the lock: a running transcription may still hold it.
    std::shared_ptr<WhisperWrapper> previous;
    {
        std::lock_guard lock(modelMutex);
        modelInUsePath.clear();
        previous = std::move(whisperWrapper);
        whisperWrapper.reset();
        ++modelGeneration; // a load running now must not publish the old model
    }
}

void AppDelegate::applicationWillTerminate()
{
    // The quit is over for the user: the process may still wind up for a
    // while (the clipboard's hand-over), but starts nothing new in it.
    terminating = true;
    if (statusItem)
        statusItem->remove();
    if (updaterController)
        updaterController->stop();
    if (platformServices.alertPresenter)
        platformServices.alertPresenter->stopPresenting();
    // The process ends without waiting for a paste under way: the user's
    // clipboard goes back now, not after the target's request.
    if (TextInserter* inserter = textInserter())
        inserter->quit();
    if (eventTap)
        eventTap->setEnabled(false);
    if (permissionCheckTimer)
        permissionCheckTimer->stop();
    // A stopped recording still in its tail wait is transcribed; one under
    // way is dropped.
    finishPendingStop();
    if (audioEngine) {
        audioEngine->removeTap();
        if (audioEngine->isRunning())
            audioEngine->stop();
    }
    audioConverter.reset();
    if (recordingProgressWindow) {
        recordingProgressWindow->close();
        delete recordingProgressWindow.data();
    }
    recordingProgressWindow = nullptr;
    recordingProgressHostingController = nullptr;
    // The process ends without clean-up: a download still running would
    // leave its part-file, up to a few gigabytes, until the next start.
    ModelDownloader::cancelAllDownloads();
}
