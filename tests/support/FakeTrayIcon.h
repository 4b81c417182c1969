#pragma once

#include "platform/TrayIcon.h"

#include <QIcon>
#include <QMenu>
#include <QPointer>

#include <vector>

// A tray host in a test: the test clicks the icon and inspects the menus.
class FakeTrayIcon final : public TrayIcon {
public:
    ~FakeTrayIcon() override
    {
        for (const QPointer<QMenu>& menu : menus)
            delete menu.data();
    }

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
    void popUpMenu(QMenu* menu) override { menus.emplace_back(menu); }
    void setClickHandler(std::function<void(TrayClick)> handler) override { onClick = std::move(handler); }

    void click(TrayClick which = TrayClick::left)
    {
        if (onClick)
            onClick(which);
    }
    QMenu* lastMenu() const { return menus.empty() ? nullptr : menus.back().data(); }

    bool hostAvailable = true;
    QRect rect{400, 0, 24, 24};
    std::optional<QColor> panel;
    QIcon icon;
    int iconChanges = 0;
    QString toolTip;
    bool shown = false;
    std::vector<QPointer<QMenu>> menus;
    std::function<void(TrayClick)> onClick;
};
