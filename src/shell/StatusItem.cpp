#include "shell/StatusItem.h"

#include "base/Log.h"
#include "shell/ShellHost.h"
#include "shell/StatusIconArt.h"
#include "shell/StatusMenu.h"

#include <QIcon>
#include <QMenu>

StatusItem::StatusItem(std::shared_ptr<TrayIcon> trayIcon, ShellHost& shellHost)
    : icon(std::move(trayIcon)), host(shellHost), symbol(QStringLiteral("mic.circle"))
{
    icon->setIcon(StatusIconArt::icon(symbol));
    icon->setToolTip(QStringLiteral("Tallowind"));
    ShellHost* target = &host;
    icon->setClickHandler([target](TrayClick click) { target->togglePopover(click); });
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
    icon->setIcon(StatusIconArt::icon(name));
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
