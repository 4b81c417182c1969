#include "platform/qt/QtTrayIcon.h"

#include "platform/qt/TrayIconBackdrop.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

QtTrayIcon::QtTrayIcon()
{
    QObject::connect(&icon, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        if (!onClick)
            return;
        // A double click has already toggled once with its first press.
        if (reason == QSystemTrayIcon::Trigger)
            onClick(TrayClick::left);
        else if (reason == QSystemTrayIcon::Context)
            onClick(TrayClick::right);
    });
}

bool QtTrayIcon::isHostAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::setIcon(const QIcon& image)
{
    icon.setIcon(image);
}

void QtTrayIcon::setToolTip(const QString& text)
{
    icon.setToolTip(text);
}

void QtTrayIcon::show()
{
    icon.show();
}

bool QtTrayIcon::isVisible() const
{
    return icon.isVisible();
}

QRect QtTrayIcon::geometry() const
{
    return icon.geometry();
}

std::optional<QColor> QtTrayIcon::panelBackground() const
{
    const QRect area = icon.geometry();
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
    icon.icon().paint(&painter, QRect(QPoint(), area.size()));
    painter.end();
    return TrayIconBackdrop::colourBehind(shot, shot.rect(), painted);
}

void QtTrayIcon::setContextMenu(QMenu* menu)
{
    contextMenu = menu;
    if (menu || icon.contextMenu())
        icon.setContextMenu(menu ? menu : &noMenu);
}

void QtTrayIcon::popUpContextMenu()
{
    // An XEmbed tray's right press has Qt pop the menu up before it reports
    // the click.
    if (contextMenu && !contextMenu->isVisible())
        contextMenu->popup(QCursor::pos());
}

void QtTrayIcon::setClickHandler(std::function<void(TrayClick)> handler)
{
    onClick = std::move(handler);
}
