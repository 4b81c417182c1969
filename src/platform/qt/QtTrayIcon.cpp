#include "platform/qt/QtTrayIcon.h"

#include <QCursor>
#include <QMenu>

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

void QtTrayIcon::popUpMenu(QMenu* menu)
{
    menu->popup(QCursor::pos());
}

void QtTrayIcon::setClickHandler(std::function<void(TrayClick)> handler)
{
    onClick = std::move(handler);
}
