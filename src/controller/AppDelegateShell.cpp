// The controller's tray shell: the status icon, its menu, the popover panel,
// the Settings and welcome windows and the update check. The work is done by
// the shell's classes; these operations decide when.
#include "controller/AppDelegate.h"
#include "controller/PolicyTaskbarPresence.h"

#include "base/Log.h"

#include "core/config/AppConfig.h"
#include "core/speech/ModelManager.h"
#include "downloads/FirstLaunchView.h"
#include "platform/Updater.h"
#include "shell/tray/PopoverPanel.h"
#include "shell/tray/PopoverPlacement.h"
#include "shell/tray/StatusItem.h"
#include "shell/windows/FirstLaunchWindow.h"
#include "shell/windows/ScreenInUse.h"
#include "shell/windows/SettingsShortcut.h"
#include "shell/windows/SettingsWindow.h"

#include <QCursor>
#include <QGuiApplication>

namespace {

// Settings opens from the tray icon (its menu, its popover): on the icon's
// monitor. Without an icon on screen, on the monitor the user works on.
QScreen* screenForSettings(const StatusItem* item, const FrontmostApplication* frontmost)
{
    if (item && item->isOnScreen()) {
        const QRect icon = item->anchor();
        if (QScreen* screen = icon.isEmpty() ? nullptr : QGuiApplication::screenAt(icon.center()))
            return screen;
    }
    return ScreenInUse::screen(frontmost);
}

} // namespace

void AppDelegate::setupMenuBar()
{
    // With no tray icon service the tool runs on its shortcuts alone.
    if (platformServices.trayIcon && !statusItem) {
        statusItem = std::make_unique<StatusItem>(platformServices.trayIcon, *this);
        statusItem->setSymbolName(statusIconName());
    }
}

void AppDelegate::updateStatusIcon(bool recording, bool transcribing)
{
    // The state is read when the update runs, not when it was asked for: an
    // update queued by a transcription's end must not take the recording
    // icon from a recording that started meanwhile.
    QPointer<AppDelegate> self(this);
    Dispatch::main().async([self, recording, transcribing] {
        if (!self)
            return;
        const QString name = self->statusIconForState(recording, transcribing);
        self->setStatusIconName(name);
        if (self->statusItem)
            self->statusItem->setSymbolName(name);
    });
}

QString AppDelegate::statusIconForState(bool recording, bool transcribing)
{
    if (recording || isRecording())
        return QStringLiteral("mic.circle.fill");
    bool parkedForRunningLoad = false;
    {
        std::lock_guard lock(modelMutex);
        parkedForRunningLoad = isLoadingModel.load() && !pendingTranscriptions.empty();
    }
    if (transcribing || transcriptionsUnderWay > 0 || parkedForRunningLoad)
        return QStringLiteral("mic.badge.ellipsis");
    return QStringLiteral("mic.circle");
}

void AppDelegate::togglePopover(TrayClick click)
{
    // A right click only shows the menu, whatever the popover's state.
    if (click == TrayClick::right) {
        showContextMenu();
        return;
    }
    if (popoverWindow && popoverWindow->isVisible())
        closePopover();
    else
        showPopover();
}

void AppDelegate::showContextMenu()
{
    if (statusItem && !terminating)
        statusItem->showContextMenu();
}

void AppDelegate::showPopover()
{
    if (!statusItem || terminating)
        return;
    // Opening the popover arms the shortcuts if a model has appeared since
    // launch.
    ensureHotkeysSetupIfNeeded();
    if (!popoverWindow) {
        auto* panel = new PopoverPanel;
        panel->setContentWidget(makePopoverContent());
        // Moves are reported until the first close.
        panel->setDelegate(this);
        QPointer<AppDelegate> self(this);
        SettingsShortcut::install(panel, [self] {
            if (self)
                self->showSettings();
        });
        popoverWindow = panel;
    }
    if (!statusItem->isOnScreen())
        return;
    QRect anchor = statusItem->anchor();
    if (anchor.isEmpty())
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    std::optional<QPoint> saved;
    if (const auto origin = AppConfig::popoverWindowPosition())
        saved = origin->toPoint();
    popoverWindow->placeAt(
        PopoverPlacement::originFor(popoverWindow->size(), anchor, saved, PopoverPlacement::desktopScreens()));
    popoverWindow->present();
}

void AppDelegate::resizePopover(bool expanded)
{
    if (popoverWindow)
        popoverWindow->resizeKeepingTop(expanded);
}

void AppDelegate::closePopover()
{
    if (popoverWindow) {
        AppConfig::setPopoverWindowPosition(QPointF(popoverWindow->targetGeometry().topLeft()));
        popoverWindow->setDelegate(nullptr);
        popoverWindow->hide();
    }
    if (popoverEventMonitor) {
        delete popoverEventMonitor.data();
        popoverEventMonitor = nullptr;
    }
}

void AppDelegate::windowDidMove(QWidget* window)
{
    // Only the popover's position is kept.
    if (window && window == popoverWindow.data())
        AppConfig::setPopoverWindowPosition(QPointF(window->pos()));
}

void AppDelegate::showSettings()
{
    if (terminating)
        return;
    ensureHotkeysSetupIfNeeded();
    if (!settingsWindow) {
        settingsWindow = new SettingsWindow(this);
        settingsWindow->setContentWidget(makeSettingsContent());
        centreOnScreen(
            settingsWindow, screenForSettings(statusItem.get(), platformServices.frontmostApplication.get()));
    }
    settingsWindow->present();
    applicationPolicy->setPolicy(ActivationPolicy::Policy::regular);
}

void AppDelegate::showFirstLaunchWindow()
{
    if (terminating)
        return;
    // "Continue" arms the dictation; it neither closes the window nor
    // changes the policy.
    QPointer<AppDelegate> self(this);
    auto* view = new FirstLaunchView(
        [self] {
            if (self)
                self->firstLaunchCompleted();
        },
        modelDownloads);
    auto* window = new FirstLaunchWindow(view, this);
    centreOnScreen(window, ScreenInUse::screen(platformServices.frontmostApplication.get()));
    window->present();
    firstLaunchWindow = window;
    applicationPolicy->setPolicy(ActivationPolicy::Policy::regular);
}

void AppDelegate::handleSecondStart(const ActivationToken& token)
{
    if (terminating)
        return;
    QWidget* shown = nullptr;
    // Without a model the welcome window is what there is to show.
    if (firstLaunchWindow) {
        firstLaunchWindow->present();
        shown = firstLaunchWindow;
    } else if (ModelManager::shared().downloadedModels().isEmpty()) {
        showFirstLaunchWindow();
        shown = firstLaunchWindow;
    } else if (statusItem && statusItem->isOnScreen()) {
        // The popover hangs from the tray icon; with no tray the Settings
        // window is the one window there is.
        showPopover();
        shown = popoverWindow;
    } else {
        showSettings();
        shown = settingsWindow;
    }
    // The user was in another application until the start: the window's own
    // request to come forward is as old as its last input, and a desktop
    // that prevents focus stealing only flags it.
    if (shown && shown->isVisible() && !token.isEmpty() && platformServices.windowActivation)
        platformServices.windowActivation->activate(shown->windowHandle(), token);
}

void AppDelegate::windowWillClose(QWidget* window)
{
    if (!window)
        return;
    const bool settings = window == settingsWindow.data();
    const bool welcome = window == firstLaunchWindow.data();
    if (!settings && !welcome)
        return;
    // After the window has finished closing, even when the other of the two
    // is still open.
    QPointer<AppDelegate> self(this);
    Dispatch::main().async([self] {
        if (self)
            self->applicationPolicy->setPolicy(ActivationPolicy::Policy::accessory);
    });
    if (!welcome)
        return;
    firstLaunchWindow = nullptr;
    // Without a model the shortcuts stay off and a press does nothing at
    // all: this is the one place that says why. Queued, so a close because
    // the tool quits says nothing.
    Dispatch::main().async([] {
        ModelManager& store = ModelManager::shared();
        if (store.downloadedModels().isEmpty())
            Log::system(QStringLiteral("[AppDelegate] No speech model is installed, so the shortcuts do nothing. Put a "
                                       "model file in %1, or download one from the tray menu: \"Settings...\" → Models")
                            .arg(store.modelsDirectory()));
    });
}

std::shared_ptr<TaskbarPresence> AppDelegate::taskbarPresence() const
{
    return std::make_shared<PolicyTaskbarPresence>(*applicationPolicy);
}

void AppDelegate::checkForUpdates()
{
    if (updaterController && !terminating)
        updaterController->checkForUpdates();
}
