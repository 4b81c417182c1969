#pragma once

#include "platform/TrayIcon.h"
#include "platform/qt/StatusNotifierRegistration.h"

#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

class StatusNotifierItem;

// The tray icon: a StatusNotifierItem of our own while a StatusNotifierWatcher
// with a host runs on the session bus (it registers with each watcher that
// appears or comes back), else Qt's icon of the XEmbed kind. Qt picks the
// kind of its tray icons once per process, when the first is made, so that
// icon is made only while no such host runs for certain: it is then of the
// XEmbed kind for good. A watcher that has not answered yet is waited for.
// What shows follows the item's state, and a host's click on the item.
class QtTrayIcon final : public TrayIcon {
public:
    explicit QtTrayIcon(StatusNotifierTiming timing = {});
    ~QtTrayIcon() override;

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
    void setAvailabilityHandler(std::function<void()> handler) override;
    void remove() override;

private:
    // No watcher, or one without a host: Qt's check finds none either.
    bool noHostForCertain() const;
    void makeXEmbedIcon();
    // Shows the XEmbed icon, made now unless a watcher runs.
    void showXEmbedIcon();
    void clicked(TrayClick click);
    void trayChanged();

    // Stands in for a menu taken back: a D-Bus host keeps the menu it was
    // given, so Qt must never be left holding a deleted one. Declared before
    // `xembed`, which is destroyed first.
    QMenu noMenu;
    QPointer<QMenu> contextMenu;
    QIcon image;
    QString toolTip = QStringLiteral("Tallowind");
    // The item's state as last shown.
    StatusNotifierRegistration::State shownState = StatusNotifierRegistration::State::noWatcher;
    // Getting into a host is news, but not into the first one of a start
    // that found a watcher.
    bool announceHost = false;
    std::unique_ptr<StatusNotifierItem> item;
    std::unique_ptr<QSystemTrayIcon> xembed;
    std::function<void(TrayClick)> onClick;
    std::function<void()> onAvailability;
    bool removed = false;
};
