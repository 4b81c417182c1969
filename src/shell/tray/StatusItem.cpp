#include "shell/tray/StatusItem.h"

#include "base/Log.h"
#include "shell/ShellHost.h"
#include "shell/tray/StatusIconArt.h"
#include "shell/tray/StatusMenu.h"

#include <QIcon>
#include <QMenu>

StatusItem::StatusItem(std::shared_ptr<TrayIcon> trayIcon, ShellHost& shellHost)
    : icon(std::move(trayIcon)), host(shellHost), symbol(QStringLiteral("mic.circle"))
{
    refreshIcon();
    icon->setToolTip(QStringLiteral("Tallowind"));
    ShellHost* target = &host;
    icon->setClickHandler([this, target](TrayClick click) {
        // The panel behind the icon is known once it has docked, and a click
        // is when the user looks at it: read it again, the theme may differ.
        panel.reset();
        refreshIcon();
        target->togglePopover(click);
    });
    icon->show();
    if (!icon->isHostAvailable())
        Log::system(
            QStringLiteral("[AppDelegate] No system tray is running; Tallowind works through its keyboard shortcuts"));
}

StatusItem::~StatusItem()
{
    // The icon may outlive the host its clicks went to.
    icon->setClickHandler({});
}

void StatusItem::setSymbolName(const QString& name)
{
    symbol = name;
    refreshIcon();
}

void StatusItem::refreshIcon()
{
    // Reading the panel grabs pixels from the X server; a state change (the
    // start of every dictation) reads it only while it is still unknown.
    if (!panel)
        panel = icon->panelBackground();
    icon->setIcon(StatusIconArt::icon(symbol, panel));
}

bool StatusItem::isOnScreen() const
{
    return icon->isHostAvailable() && icon->isVisible();
}

QRect StatusItem::anchor() const
{
    return icon->geometry();
}

void StatusItem::showContextMenu()
{
    icon->popUpMenu(StatusMenu::build(host));
}
