// The controller's tray shell: the status icon and the windows it opens.
#include "controller/AppDelegate.h"

#include "shell/StatusIconArt.h"

#include <QSystemTrayIcon>
#include <QWidget>

void AppDelegate::setupMenuBar()
{
    statusItem = std::make_unique<QSystemTrayIcon>(StatusIconArt::icon(statusIconName()));
    statusItem->setToolTip(QStringLiteral("Tallowind"));
    // Left and right clicks both open or close the popover.
    connect(statusItem.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
            togglePopover();
    });
    statusItem->show();
}

void AppDelegate::updateStatusIcon(bool recording, bool transcribing)
{
    // Callers on any thread; the main queue applies the updates in order.
    QPointer<AppDelegate> self(this);
    Dispatch::main().async([self, recording, transcribing] {
        if (!self)
            return;
        const QString name = recording ? QStringLiteral("mic.circle.fill")
            : transcribing             ? QStringLiteral("mic.badge.ellipsis")
                                       : QStringLiteral("mic.circle");
        self->setStatusIconName(name);
        if (self->statusItem)
            self->statusItem->setIcon(StatusIconArt::icon(name));
    });
}

// Opening the popover or Settings is also when the shortcuts get armed if a
// model has appeared since launch. The windows themselves come later.
void AppDelegate::togglePopover()
{
    showPopover();
}

void AppDelegate::showPopover()
{
    ensureHotkeysSetupIfNeeded();
}

void AppDelegate::showSettings()
{
    ensureHotkeysSetupIfNeeded();
}

void AppDelegate::closePopover() { }
void AppDelegate::showFirstLaunchWindow() { }
void AppDelegate::showFocusIndicator() { }
void AppDelegate::hideFocusIndicator() { }
void AppDelegate::checkForUpdates() { }
void AppDelegate::windowWillClose(QWidget*) { }
