#include "shell/tray/StatusItem.h"

#include "base/Log.h"
#include "shell/ShellHost.h"
#include "shell/tray/StatusIconArt.h"
#include "shell/tray/StatusMenu.h"

#include <QIcon>
#include <QMenu>

StatusItem::StatusItem(std::shared_ptr<TrayIcon> trayIcon, ShellHost& shellHost)
    : icon(std::move(trayIcon)), menu(StatusMenu::build(shellHost)), symbol(QStringLiteral("mic.circle"))
{
    refreshIcon();
    icon->setToolTip(QStringLiteral("Tallowind"));
    // Set on the icon rather than shown per click: a tray host of the D-Bus
    // kind draws the menu itself and never reports the right click.
    icon->setContextMenu(menu.get());
    ShellHost* target = &shellHost;
    icon->setClickHandler([this, target](TrayClick click) {
        // The panel behind the icon is known once it has docked, and a click
        // is when the user looks at it: read it again, the theme may differ.
        // Not on a right click, whose menu may already cover the icon.
        if (click == TrayClick::left) {
            panel.reset();
            refreshIcon();
        }
        target->togglePopover(click);
    });
    // A tray host may answer only after the icon is shown (a panel busy at
    // login).
    icon->setAvailabilityHandler([this] { sayIfNoTray(); });
    icon->show();
    sayIfNoTray();
}

void StatusItem::sayIfNoTray()
{
    if (noTraySaid || icon->isHostAvailable())
        return;
    noTraySaid = true;
    // Said at every start on a desktop without a tray (GNOME): one line of
    // an 80-column terminal.
    Log::system(QStringLiteral("[StatusItem] No system tray is running; Tallowind works through its shortcuts"));
}

StatusItem::~StatusItem()
{
    // The icon may outlive the host its clicks and menu went to.
    icon->setClickHandler({});
    icon->setAvailabilityHandler({});
    icon->setContextMenu(nullptr);
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
    // Each picture is drawn once: a new icon per state change would have
    // the tray make its pixels anew, and Qt cache them, each time.
    const QString look = StatusIconArt::look(symbol, panel);
    auto drawn = icons.constFind(look);
    if (drawn == icons.constEnd())
        drawn = icons.insert(look, StatusIconArt::icon(symbol, panel));
    icon->setIcon(*drawn);
}

bool StatusItem::isOnScreen() const
{
    return icon->isHostAvailable() && icon->isVisible();
}

QRect StatusItem::anchor() const
{
    return icon->geometry();
}

void StatusItem::remove()
{
    icon->setClickHandler({});
    icon->setAvailabilityHandler({});
    icon->remove();
    // Explicitly disabled, an action ignores even a trigger already on its
    // way (a tray host's click delivered late).
    menu->close();
    for (QAction* action : menu->actions())
        action->setEnabled(false);
}

void StatusItem::showContextMenu()
{
    icon->popUpContextMenu();
}
