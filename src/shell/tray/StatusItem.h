#pragma once

#include "platform/TrayIcon.h"

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QString>

#include <memory>
#include <optional>

class QMenu;
class ShellHost;

// The tool's tray icon: shows the icon of the dictation state and hands
// clicks to the host. Main thread only.
class StatusItem {
public:
    StatusItem(std::shared_ptr<TrayIcon> trayIcon, ShellHost& host);
    ~StatusItem();
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    // Shows the icon of "mic.circle", "mic.circle.fill" or
    // "mic.badge.ellipsis".
    void setSymbolName(const QString& name);
    QString symbolName() const { return symbol; }
    // Whether the icon sits in a tray host now (the anchor of the popover).
    bool isOnScreen() const;
    // The icon's rectangle on the screen; empty while unknown.
    QRect anchor() const;
    // Shows the context menu at the pointer, unless the tray has already
    // shown it for the click; returns at once.
    void showContextMenu();
    // The application quits: the icon leaves the tray, its menu closes and
    // nothing of either acts any more.
    void remove();

    TrayIcon& trayIcon() const { return *icon; }

private:
    void refreshIcon();
    // Logs once that no tray runs, when none does.
    void sayIfNoTray();
    std::shared_ptr<TrayIcon> icon;
    // Built once: the tray shows it on a right click.
    std::unique_ptr<QMenu> menu;
    QString symbol;
    // The colour behind the icon, once it could be read.
    std::optional<QColor> panel;
    // The icons drawn so far, by their look.
    QHash<QString, QIcon> icons;
    bool noTraySaid = false;
};
