#include "controller/AppDelegate.h"

#include "downloads/ModelDownloads.h"
#include "platform/AudioCapture.h"
#include "platform/HotkeyTap.h"

#include "platform/Updater.h"
#include "shell/tray/PopoverPanel.h"
#include "shell/tray/StatusItem.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "shell/windows/SettingsWindow.h"
#include "shell/windows/TaskbarEntries.h"
#include "shell/windows/WindowManager.h"

#include <QTimer>
#include <QWidget>

AppDelegate::AppDelegate(PlatformServices services, QObject* parent)
    : QObject(parent),
      platformServices(std::move(services)),
      modelDownloads(std::make_shared<ModelDownloads>()),
      ownedRecordingStateManager(std::make_shared<RecordingStateManager>())
{
    // The update check is started with the controller (see checkForUpdates).
    updaterController = platformServices.updater;
    if (updaterController)
        updaterController->start();
    if (platformServices.taskbarVisibility)
        taskbarEntries = std::make_unique<TaskbarEntries>(*applicationPolicy, platformServices.taskbarVisibility);
}

AppDelegate::~AppDelegate()
{
    // The window manager must not open Settings through a controller that is gone.
    if (WindowManager::shared().applicationDelegate() == this)
        WindowManager::shared().setApplicationDelegate(nullptr);
    // The capture tap calls into this object; removing it waits for a call
    // that is still running.
    if (audioEngine) {
        audioEngine->removeTap();
        audioEngine->stop();
    }
    observations.clear();
    if (permissionCheckTimer)
        permissionCheckTimer->stop();
    // Invalidating the armed tap releases its grabs; the tap object itself
    // is shared with the platform services and may outlive the controller.
    if (eventTap)
        eventTap->invalidate();
    eventTap.reset();
    if (popoverEventMonitor) {
        delete popoverEventMonitor.data();
        popoverEventMonitor = nullptr;
    }
    if (recordingProgressWindow) {
        recordingProgressWindow->close();
        delete recordingProgressWindow.data();
    }
    recordingProgressWindow = nullptr;
    recordingProgressHostingController = nullptr;
    // The shell's windows report to this object; they go with it.
    statusItem.reset();
    delete popoverWindow.data();
    delete settingsWindow.data();
    delete firstLaunchWindow.data();
}

QString AppDelegate::statusIconName() const
{
    std::lock_guard lock(statusIconMutex);
    return currentStatusIconName;
}

void AppDelegate::setStatusIconName(const QString& name)
{
    {
        std::lock_guard lock(statusIconMutex);
        currentStatusIconName = name;
    }
    emit statusIconNameChanged(name);
}

// The controller follows the recording state through its own fields; these
// reports need no action.
void AppDelegate::recordingStateDidChange(const RecordingState&) { }

void AppDelegate::recordingDidComplete() { }
