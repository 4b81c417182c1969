#include "platform/qt/QtTrayIcon.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QScreen>

#include <algorithm>

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
    const QRect around = area.adjusted(-1, -1, 1, 1);
    if (!screen || !screen->geometry().contains(around))
        return std::nullopt;
    const QRect ring = around.translated(-screen->geometry().topLeft());
    const QImage shot = screen->grabWindow(0, ring.x(), ring.y(), ring.width(), ring.height()).toImage();
    if (shot.width() < 3 || shot.height() < 3)
        return std::nullopt;
    // The frame one pixel outside the icon is the panel; its median
    // lightness ignores a neighbour's glyph that reaches into it.
    QList<QColor> frame;
    for (int x = 0; x < shot.width(); ++x) {
        frame.append(shot.pixelColor(x, 0));
        frame.append(shot.pixelColor(x, shot.height() - 1));
    }
    for (int y = 1; y + 1 < shot.height(); ++y) {
        frame.append(shot.pixelColor(0, y));
        frame.append(shot.pixelColor(shot.width() - 1, y));
    }
    std::sort(
        frame.begin(), frame.end(), [](const QColor& a, const QColor& b) { return a.lightness() < b.lightness(); });
    return frame.at(frame.size() / 2);
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
