#pragma once

#include "platform/TrayIcon.h"

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
    // Read off the screen, from the pixels just around the icon.
    std::optional<QColor> panelBackground() const override;
    void popUpMenu(QMenu* menu) override;
    void setClickHandler(std::function<void(TrayClick)> handler) override;

private:
    QSystemTrayIcon icon;
    std::function<void(TrayClick)> onClick;
};
