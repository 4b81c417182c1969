#pragma once

#include "platform/TrayIcon.h"

#include <QIcon>
#include <QMenu>
#include <QPointer>

// A tray host in a test: the test clicks the icon and inspects the menu.
class FakeTrayIcon final : public TrayIcon {
public:
    bool isHostAvailable() const override { return hostAvailable; }
    void setIcon(const QIcon& image) override
    {
        icon = image;
        ++iconChanges;
    }
    void setToolTip(const QString& text) override { toolTip = text; }
    void show() override { shown = true; }
    bool isVisible() const override { return shown; }
    QRect geometry() const override { return rect; }
    std::optional<QColor> panelBackground() const override { return panel; }
    void setContextMenu(QMenu* menu) override { contextMenu = menu; }
    void popUpContextMenu() override { ++menuPopUps; }
    void setClickHandler(std::function<void(TrayClick)> handler) override { onClick = std::move(handler); }
    void setAvailabilityHandler(std::function<void()> handler) override { onAvailability = std::move(handler); }
    void remove() override
    {
        removed = true;
        shown = false;
    }

    // A tray host that answered late, started or went away.
    void setHostAvailable(bool available)
    {
        hostAvailable = available;
        if (onAvailability)
            onAvailability();
    }

    void click(TrayClick which = TrayClick::left)
    {
        if (onClick)
            onClick(which);
    }

    bool hostAvailable = true;
    QRect rect{400, 0, 24, 24};
    std::optional<QColor> panel;
    QIcon icon;
    int iconChanges = 0;
    QString toolTip;
    bool shown = false;
    bool removed = false;
    QPointer<QMenu> contextMenu;
    int menuPopUps = 0;
    std::function<void(TrayClick)> onClick;
    std::function<void()> onAvailability;
};
