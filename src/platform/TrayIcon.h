#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

class QIcon;
class QMenu;

enum class TrayClick { left, right };

// The tool's icon in the desktop's system tray.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // False when no tray host runs; the icon then appears once one starts.
    virtual bool isHostAvailable() const = 0;
    // Called on the main thread when isHostAvailable() may have changed: a
    // tray host that answers late, starts or goes away.
    virtual void setAvailabilityHandler(std::function<void()> handler) = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setToolTip(const QString& text) = 0;
    virtual void show() = 0;
    virtual bool isVisible() const = 0;
    // The icon's rectangle in screen coordinates; empty while unknown.
    virtual QRect geometry() const = 0;
    // The colour the tray shows behind the icon, where it can be read;
    // nothing before the icon docks.
    virtual std::optional<QColor> panelBackground() const { return std::nullopt; }
    // The menu of a right click, owned by the caller, which takes it back
    // with nullptr before deleting it. Hosts that draw menus themselves (the
    // D-Bus kind) get it from here; others have it popped up by Qt.
    virtual void setContextMenu(QMenu* menu) = 0;
    // Shows the context menu at the pointer, unless it shows already; returns
    // at once.
    virtual void popUpContextMenu() = 0;
    // Called on the main thread for each left or right click.
    virtual void setClickHandler(std::function<void(TrayClick)> handler) = 0;
    // The application quits: the icon leaves the tray for good.
    virtual void remove() = 0;
};
