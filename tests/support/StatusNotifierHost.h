#pragma once

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

// A tray of the D-Bus kind in a test: it takes the StatusNotifierWatcher
// name on the session bus and announces a host, so Qt shows icons started
// after it as StatusNotifierItems, and it reads and clicks their menus as a
// panel would. Every call it makes keeps this process's event loop running,
// since the item asks the watcher back while it answers.
class StatusNotifierHost : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    // One entry of an item's menu, as the menu's D-Bus interface lays it out.
    struct MenuEntry {
        int id = 0;
        QVariantMap properties;
        QList<MenuEntry> children;
        // The "label", or "--" for a separator.
        QString title() const;
    };

    // False when the name could not be taken.
    bool start();
    // Gives the name up, as a panel that quits or crashes does, and forgets
    // the items; start() takes it again.
    void stop();
    // Answers nothing, as a panel busy at login, until `done` holds: this
    // thread's event loop stands still meanwhile. False once `limitMs` passed.
    bool busyUntil(const std::function<bool()>& done, int limitMs) const;
    // The bus names of the items registered so far.
    QStringList registeredItems() const { return items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

    // The object path an item gives for its menu; empty when unreadable.
    QString menuPath(const QString& item) const;
    // The menu's top level; no entries when unreadable.
    QList<MenuEntry> menu(const QString& item) const;
    // What a panel sends when the user picks an entry.
    bool click(const QString& item, int entryId) const;
    // What a panel sends for a left click on the item.
    bool activate(const QString& item, int x, int y) const;

public slots:
    void RegisterStatusNotifierItem(const QString& service);

signals:
    void StatusNotifierItemRegistered(const QString& item);

private:
    QStringList items;
};
