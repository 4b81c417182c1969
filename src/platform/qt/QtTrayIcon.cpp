#include "platform/qt/QtTrayIcon.h"

#include "platform/qt/StatusNotifierItem.h"
#include "platform/qt/TrayIconBackdrop.h"

#include "base/Log.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <utility>

QtTrayIcon::QtTrayIcon(StatusNotifierTiming timing) : item(std::make_unique<StatusNotifierItem>(timing))
{
    item->setClickHandler([this](TrayClick click) { clicked(click); });
    item->setChangeHandler([this] { trayChanged(); });
    item->setToolTip(toolTip);
    shownState = item->state();
    announceHost = noHostForCertain();
    // Made now, while Qt's check finds what ours found, so a tray of the
    // XEmbed kind is known at once.
    if (noHostForCertain())
        makeXEmbedIcon();
}

bool QtTrayIcon::noHostForCertain() const
{
    using State = StatusNotifierRegistration::State;
    return item->state() == State::noWatcher || item->state() == State::noHost;
}

QtTrayIcon::~QtTrayIcon() = default;

void QtTrayIcon::makeXEmbedIcon()
{
    xembed = std::make_unique<QSystemTrayIcon>();
    QObject::connect(xembed.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        // A double click has already toggled once with its first press.
        if (reason == QSystemTrayIcon::Trigger)
            clicked(TrayClick::left);
        else if (reason == QSystemTrayIcon::Context)
            clicked(TrayClick::right);
    });
    xembed->setIcon(image);
    xembed->setToolTip(toolTip);
    if (contextMenu)
        xembed->setContextMenu(contextMenu);
}

void QtTrayIcon::showXEmbedIcon()
{
    if (!xembed) {
        // With a host there, or a watcher yet to answer, Qt would make a
        // StatusNotifierItem of it, for good.
        if (!noHostForCertain())
            return;
        makeXEmbedIcon();
    }
    xembed->show();
}

void QtTrayIcon::clicked(TrayClick click)
{
    if (onClick)
        onClick(click);
}

void QtTrayIcon::trayChanged()
{
    using State = StatusNotifierRegistration::State;
    const State before = std::exchange(shownState, item->state());
    switch (shownState) {
    case State::registered:
        // One icon: the XEmbed one, if it was showing, gives way.
        if (xembed)
            xembed->hide();
        if (before != State::registered && announceHost)
            Log::system(QStringLiteral("[QtTrayIcon] A system tray of the StatusNotifier kind is running now; the icon "
                                       "and its menu are in it"));
        announceHost = true;
        break;
    case State::noWatcher:
    case State::noHost:
        // No host (a panel that crashed or quit, or a watcher without one):
        // back to a tray of the XEmbed kind, if one runs, until a host
        // comes.
        announceHost = true;
        if (item->isActive())
            showXEmbedIcon();
        break;
    case State::asking:
    case State::refused:
        // A watcher yet to answer, or one that is offered the item again
        // soon: an XEmbed icon that shows stays until the item is in a host.
        break;
    }
    if (onAvailability)
        onAvailability();
}

bool QtTrayIcon::isHostAvailable() const
{
    // A watcher that has not answered yet is a panel busy starting; a host
    // that clicked the item runs, whatever its watcher said.
    if (!noHostForCertain() || item->isShownInHost())
        return true;
    // Asks Qt only once its choice is made: the first ask makes it.
    return xembed && QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::setIcon(const QIcon& icon)
{
    if (icon.cacheKey() == image.cacheKey())
        return;
    image = icon;
    item->setIcon(icon);
    if (xembed)
        xembed->setIcon(icon);
}

void QtTrayIcon::setToolTip(const QString& text)
{
    toolTip = text;
    item->setToolTip(text);
    if (xembed)
        xembed->setToolTip(text);
}

void QtTrayIcon::show()
{
    if (removed)
        return;
    item->setActive(true);
    if (item->state() != StatusNotifierRegistration::State::registered)
        showXEmbedIcon();
}

bool QtTrayIcon::isVisible() const
{
    return item->isShownInHost() || (xembed && xembed->isVisible());
}

QRect QtTrayIcon::geometry() const
{
    // A host of the D-Bus kind tells no position.
    return xembed && xembed->isVisible() ? xembed->geometry() : QRect();
}

std::optional<QColor> QtTrayIcon::panelBackground() const
{
    if (!xembed || !xembed->isVisible())
        return std::nullopt;
    const QRect area = xembed->geometry();
    QScreen* screen = area.isEmpty() ? nullptr : QGuiApplication::screenAt(area.center());
    // An icon not docked yet sits at the screen's corner, with no panel
    // around it to read.
    if (!screen || !screen->geometry().contains(area.adjusted(-1, -1, 1, 1)))
        return std::nullopt;
    const QRect local = area.translated(-screen->geometry().topLeft());
    const QImage shot = screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage();
    if (shot.isNull())
        return std::nullopt;
    // The icon as the tray paints it: scaled into its whole square.
    QImage painted(shot.size(), QImage::Format_ARGB32_Premultiplied);
    painted.setDevicePixelRatio(shot.devicePixelRatio());
    painted.fill(Qt::transparent);
    QPainter painter(&painted);
    image.paint(&painter, QRect(QPoint(), area.size()));
    painter.end();
    return TrayIconBackdrop::colourBehind(shot, shot.rect(), painted);
}

void QtTrayIcon::setContextMenu(QMenu* menu)
{
    contextMenu = menu;
    item->setMenu(menu);
    if (xembed && (menu || xembed->contextMenu()))
        xembed->setContextMenu(menu ? menu : &noMenu);
}

void QtTrayIcon::popUpContextMenu()
{
    // An XEmbed tray's right press has Qt pop the menu up before it reports
    // the click.
    if (contextMenu && !contextMenu->isVisible())
        contextMenu->popup(QCursor::pos());
}

void QtTrayIcon::remove()
{
    removed = true;
    // Off the bus: a host drops an item whose connection has ended.
    item->setActive(false);
    item->withdraw();
    if (xembed)
        xembed->hide();
}

void QtTrayIcon::setClickHandler(std::function<void(TrayClick)> handler)
{
    onClick = std::move(handler);
}

void QtTrayIcon::setAvailabilityHandler(std::function<void()> handler)
{
    onAvailability = std::move(handler);
}
