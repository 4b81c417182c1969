#include "core/AppDelegate.h"

// Until the recording-state type lands the controller starts without one.
#if __has_include("core/RecordingState.h")
#include "core/RecordingState.h"
#define TALLOWIND_HAS_RECORDING_STATE 1
#endif

#include "platform/HotkeyTap.h"

#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

AppDelegate::AppDelegate(PlatformServices services, QObject* parent)
    : QObject(parent),
      services_(std::move(services))
{
#ifdef TALLOWIND_HAS_RECORDING_STATE
    recordingStateManager_ = std::make_shared<RecordingStateManager>();
#endif
    // The update check is started with the controller (see checkForUpdates).
    updaterController = services_.updater;
}

AppDelegate::~AppDelegate()
{
    observations_.clear();
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
}

QString AppDelegate::statusIconName() const
{
    std::lock_guard lock(statusIconMutex_);
    return statusIconName_;
}

void AppDelegate::setStatusIconName(const QString& name)
{
    {
        std::lock_guard lock(statusIconMutex_);
        statusIconName_ = name;
    }
    emit statusIconNameChanged(name);
}
