#pragma once

#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

// A tray of the D-Bus kind in a test: it takes the StatusNotifierWatcher
// name on the session bus and announces a host, so Qt shows icons started
// after it as StatusNotifierItems, and it reads and clicks their menus as a
// panel would. Every call it makes keeps this process's event loop running,
// since the item asks the watcher back while it answers. It answers the
// watcher's calls itself, so it can hold them as a hung panel does, refuse
// an item, and answer a repeated registration as some desktops do.
class StatusNotifierHost : public QDBusVirtualObject {
    Q_OBJECT

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
    // From the next registration on, holds every call unanswered, as a panel
    // that hangs, while this process runs on; resume() answers them in turn.
    void stallAtNextRegistration() { stallPending = true; }
    // Holds every call from now on, until resume(); stop() does not end it.
    void stall() { stalled = true; }
    void resume();
    // The calls received so far, "RegisterStatusNotifierItem" or the
    // property read ("IsStatusNotifierHostRegistered", ...), held ones too.
    QStringList calls() const { return received; }
    // Refuses the next `count` registrations with an error.
    void refuseRegistrations(int count) { refusalsLeft = count; }
    // Answers a registration of an item it has with
    // org.kde.StatusNotifierWatcher.Item.AlreadyRegistered.
    void answerRepeatsAsAlreadyRegistered() { repeatsRefused = true; }
    // The host leaves or comes while the watcher stays, as a panel that
    // restarts apart from its watcher; each call announces it.
    void setHostRegistered(bool registered);
    // The bus names of the items registered so far.
    QStringList registeredItems() const { return items; }

    // The object path an item gives for its menu; empty when unreadable.
    QString menuPath(const QString& item) const;
    // The menu's top level; no entries when unreadable.
    QList<MenuEntry> menu(const QString& item) const;
    // What a panel sends when the user picks an entry.
    bool click(const QString& item, int entryId) const;
    // What a panel sends for a left click on the item.
    bool activate(const QString& item, int x, int y) const;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void answer(const QDBusMessage& call);
    QDBusMessage registered(const QDBusMessage& call);
    QVariant property(const QString& name) const;
    void announce(const QString& signal, const QVariantList& arguments = {});

    QStringList items;
    QStringList received;
    QList<QDBusMessage> held;
    bool stallPending = false;
    bool stalled = false;
    int refusalsLeft = 0;
    bool repeatsRefused = false;
    bool hostRegistered = true;
};
