#pragma once

#include "platform/TrayIcon.h"

#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

// The tray icon on Qt's XEmbed/StatusNotifier tray support.
class QtTrayIcon final : public TrayIcon {
public:
    QtTrayIcon();

    bool isHostAvailable() const override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& text) override;
    void show() override;
    bool isVisible() const override;
    QRect geometry() const override;
    // Read off the screen, from the pixels the icon leaves clear.
    std::optional<QColor> panelBackground() const override;
    void setContextMenu(QMenu* menu) override;
    void popUpContextMenu() override;
    void setClickHandler(std::function<void(TrayClick)> handler) override;

private:
    // Stands in for a menu taken back: a D-Bus host keeps the menu it was
    // given, so Qt must never be left holding a deleted one. Declared before
    // `icon`, which is destroyed first.
    QMenu noMenu;
    QPointer<QMenu> contextMenu;
    QSystemTrayIcon icon;
    std::function<void(TrayClick)> onClick;
};
