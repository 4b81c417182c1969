#include "shell/tray/StatusMenu.h"

#include "shell/ShellHost.h"
#include "shell/windows/SettingsShortcut.h"

#include <QApplication>
#include <QMenu>
#include <QShortcut>

namespace StatusMenu {

QMenu* build(ShellHost& host)
{
    auto* menu = new QMenu;
    menu->setAccessibleName(QStringLiteral("Tallowind"));
    ShellHost* target = &host;
    // The menu has closed by the time an action runs (QMenu hides before it
    // triggers), so a window an action opens gets the focus.
    QAction* settings = menu->addAction(QStringLiteral("Settings..."));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QObject::connect(settings, &QAction::triggered, menu, [target] { target->showSettings(); });
    // The item only shows the keys: a menu's own actions take no shortcuts
    // while it is open on its own, without a menu bar.
    SettingsShortcut::install(menu, [menu, target] {
        menu->close();
        target->showSettings();
    });
    menu->addSeparator();
    QAction* updates = menu->addAction(QStringLiteral("Check for Updates..."));
    QObject::connect(updates, &QAction::triggered, menu, [target] { target->checkForUpdates(); });
    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(quit, &QAction::triggered, menu, [] { QCoreApplication::quit(); });
    // Likewise the keys "Quit" shows.
    auto* quitKeys = new QShortcut(quit->shortcut(), menu);
    QObject::connect(quitKeys, &QShortcut::activated, menu, [menu] {
        menu->close();
        QCoreApplication::quit();
    });
    return menu;
}

} // namespace StatusMenu
