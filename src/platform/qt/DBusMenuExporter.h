#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

class QAction;
class QMenu;

// One entry of a menu as com.canonical.dbusmenu lays it out: (ia{sv}av),
// each child wrapped in a variant.
struct DBusMenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};
Q_DECLARE_METATYPE(DBusMenuLayoutItem)

// An entry's properties alone: (ia{sv}).
struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(DBusMenuItemProperties)
Q_DECLARE_METATYPE(QList<DBusMenuItemProperties>)

// Property names taken back from an entry: (ias).
struct DBusMenuItemRemovedProperties {
    int id = 0;
    QStringList names;
};
Q_DECLARE_METATYPE(DBusMenuItemRemovedProperties)
Q_DECLARE_METATYPE(QList<DBusMenuItemRemovedProperties>)

// One event of EventGroup: (isvu).
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
Q_DECLARE_METATYPE(DBusMenuEvent)
Q_DECLARE_METATYPE(QList<DBusMenuEvent>)

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemRemovedProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemRemovedProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

// A QMenu on the session bus as com.canonical.dbusmenu, for tray hosts that
// draw an item's menu themselves. Entries are the menu's actions (no
// submenus); a pick triggers the action. Exported by the caller; main thread
// only. Only the D-Bus methods are slots: the bus sees every slot.
class DBusMenuExporter : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    DBusMenuExporter();
    ~DBusMenuExporter() override;

    // Registers the D-Bus types; before the first export.
    static void registerTypes();

    // The menu shown, or none: an empty menu then.
    void setMenu(QMenu* menu);
    QMenu* menu() const;

    // The whole layout as a host reads it: the root (id 0) and its entries.
    DBusMenuLayoutItem layout();

    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, DBusMenuLayoutItem& layout);
    QList<DBusMenuItemProperties> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const QList<DBusMenuEvent>& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    void ItemsPropertiesUpdated(
        const QList<DBusMenuItemProperties>& updated, const QList<DBusMenuItemRemovedProperties>& removed);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int idOf(QAction* action);
    QAction* actionOf(int id) const;
    QVariantMap propertiesOf(int id);
    // Says the layout changed, once per turn of the event loop.
    void announceChange();

    QPointer<QMenu> shownMenu;
    QHash<QAction*, int> ids;
    int nextId = 1;
    uint revision = 1;
    bool changeAnnounced = false;
};
