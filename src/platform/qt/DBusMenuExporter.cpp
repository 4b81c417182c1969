#include "platform/qt/DBusMenuExporter.h"

#include <QAction>
#include <QActionGroup>
#include <QDBusMetaType>
#include <QEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QTimer>

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayoutItem& item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const DBusMenuLayoutItem& child : item.children)
        argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayoutItem& item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    item.children.clear();
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        item.children.append(qdbus_cast<DBusMenuLayoutItem>(child.variant()));
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item)
{
    argument.beginStructure();
    argument << item.id << item.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item)
{
    argument.beginStructure();
    argument >> item.id >> item.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemRemovedProperties& item)
{
    argument.beginStructure();
    argument << item.id << item.names;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemRemovedProperties& item)
{
    argument.beginStructure();
    argument >> item.id >> item.names;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event)
{
    argument.beginStructure();
    argument << event.id << event.eventId << event.data << event.timestamp;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event)
{
    argument.beginStructure();
    argument >> event.id >> event.eventId >> event.data >> event.timestamp;
    argument.endStructure();
    return argument;
}

namespace {

// A menu's mnemonic marker is "&", the protocol's is "_" ("&&" and "__" for
// the characters themselves).
QString labelOf(const QString& text)
{
    QString label;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'&' && i + 1 < text.size() && text.at(i + 1) == u'&') {
            label += u'&';
            ++i;
        } else if (c == u'&') {
            label += u'_';
        } else if (c == u'_') {
            label += QStringLiteral("__");
        } else {
            label += c;
        }
    }
    return label;
}

// A shortcut as the protocol spells it (aas): one list per key press, the
// modifiers by its names and then the key. Hosts built on Qt join a press
// with "+" and read it back with QKeySequence, so the key is Qt's portable
// name (",", "Q"), but "+" and "-" go as "plus" and "minus".
QList<QStringList> shortcutOf(const QKeySequence& sequence)
{
    QList<QStringList> presses;
    for (int i = 0; i < sequence.count(); ++i) {
        const QKeyCombination press = sequence[i];
        const Qt::KeyboardModifiers modifiers = press.keyboardModifiers();
        QStringList tokens;
        if (modifiers & Qt::ControlModifier)
            tokens.append(QStringLiteral("Control"));
        if (modifiers & Qt::AltModifier)
            tokens.append(QStringLiteral("Alt"));
        if (modifiers & Qt::ShiftModifier)
            tokens.append(QStringLiteral("Shift"));
        if (modifiers & Qt::MetaModifier)
            tokens.append(QStringLiteral("Super"));
        QString key = QKeySequence(press.key()).toString(QKeySequence::PortableText);
        if (key == QLatin1String("+"))
            key = QStringLiteral("plus");
        else if (key == QLatin1String("-"))
            key = QStringLiteral("minus");
        tokens.append(key);
        presses.append(tokens);
    }
    return presses;
}

} // namespace

DBusMenuExporter::DBusMenuExporter() = default;

DBusMenuExporter::~DBusMenuExporter()
{
    if (shownMenu)
        shownMenu->removeEventFilter(this);
}

void DBusMenuExporter::registerTypes()
{
    qDBusRegisterMetaType<DBusMenuLayoutItem>();
    qDBusRegisterMetaType<DBusMenuItemProperties>();
    qDBusRegisterMetaType<QList<DBusMenuItemProperties>>();
    qDBusRegisterMetaType<DBusMenuItemRemovedProperties>();
    qDBusRegisterMetaType<QList<DBusMenuItemRemovedProperties>>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<QList<DBusMenuEvent>>();
    qDBusRegisterMetaType<QList<QStringList>>();
}

void DBusMenuExporter::setMenu(QMenu* menu)
{
    if (menu == shownMenu)
        return;
    if (shownMenu)
        shownMenu->removeEventFilter(this);
    shownMenu = menu;
    if (menu)
        menu->installEventFilter(this);
    announceChange();
}

QMenu* DBusMenuExporter::menu() const
{
    return shownMenu;
}

QString DBusMenuExporter::textDirection() const
{
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl") : QStringLiteral("ltr");
}

int DBusMenuExporter::idOf(QAction* action)
{
    auto found = ids.constFind(action);
    if (found != ids.constEnd())
        return *found;
    const int id = nextId++;
    ids.insert(action, id);
    return id;
}

QAction* DBusMenuExporter::actionOf(int id) const
{
    if (!shownMenu || id <= 0)
        return nullptr;
    for (QAction* action : shownMenu->actions())
        if (ids.value(action) == id)
            return action;
    return nullptr;
}

QVariantMap DBusMenuExporter::propertiesOf(int id)
{
    QVariantMap properties;
    if (id == 0) {
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        return properties;
    }
    QAction* action = actionOf(id);
    if (!action)
        return properties;
    // Sent with every layout, true or false: a host keeps the value of a
    // key that a later layout leaves out, so an entry hidden once would stay
    // hidden.
    properties.insert(QStringLiteral("visible"), action->isVisible());
    properties.insert(QStringLiteral("enabled"), action->isEnabled());
    if (action->isSeparator()) {
        properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        return properties;
    }
    properties.insert(QStringLiteral("label"), labelOf(action->text()));
    if (!action->shortcut().isEmpty())
        properties.insert(QStringLiteral("shortcut"), QVariant::fromValue(shortcutOf(action->shortcut())));
    if (action->isCheckable()) {
        properties.insert(QStringLiteral("toggle-type"),
            action->actionGroup() && action->actionGroup()->isExclusive() ? QStringLiteral("radio")
                                                                          : QStringLiteral("checkmark"));
        properties.insert(QStringLiteral("toggle-state"), action->isChecked() ? 1 : 0);
    }
    return properties;
}

DBusMenuLayoutItem DBusMenuExporter::layout()
{
    DBusMenuLayoutItem root;
    root.id = 0;
    root.properties = propertiesOf(0);
    if (!shownMenu)
        return root;
    for (QAction* action : shownMenu->actions()) {
        DBusMenuLayoutItem entry;
        entry.id = idOf(action);
        entry.properties = propertiesOf(entry.id);
        root.children.append(entry);
    }
    return root;
}

uint DBusMenuExporter::GetLayout(
    int parentId, int recursionDepth, const QStringList& propertyNames, DBusMenuLayoutItem& result)
{
    Q_UNUSED(propertyNames);
    DBusMenuLayoutItem whole = layout();
    if (parentId == 0) {
        if (recursionDepth == 0)
            whole.children.clear();
        result = whole;
        return revision;
    }
    // An entry has no children of its own.
    result = {};
    for (const DBusMenuLayoutItem& entry : whole.children)
        if (entry.id == parentId)
            result = entry;
    return revision;
}

QList<DBusMenuItemProperties> DBusMenuExporter::GetGroupProperties(
    const QList<int>& requested, const QStringList& propertyNames)
{
    layout(); // gives every entry its id
    QList<DBusMenuItemProperties> result;
    for (int id : requested) {
        if (id != 0 && !actionOf(id))
            continue;
        QVariantMap properties = propertiesOf(id);
        if (!propertyNames.isEmpty())
            for (auto it = properties.begin(); it != properties.end();)
                it = propertyNames.contains(it.key()) ? std::next(it) : properties.erase(it);
        result.append({id, properties});
    }
    return result;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name)
{
    layout();
    return QDBusVariant(propertiesOf(id).value(name));
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp)
{
    Q_UNUSED(data);
    Q_UNUSED(timestamp);
    if (eventId != QLatin1String("clicked"))
        return;
    QAction* action = actionOf(id);
    if (!action || !action->isEnabled() || action->isSeparator())
        return;
    // After the answer has gone out: "Quit" ends the process.
    QMetaObject::invokeMethod(action, &QAction::trigger, Qt::QueuedConnection);
}

QList<int> DBusMenuExporter::EventGroup(const QList<DBusMenuEvent>& events)
{
    QList<int> idErrors;
    for (const DBusMenuEvent& event : events) {
        if (event.id != 0 && !actionOf(event.id))
            idErrors.append(event.id);
        else
            Event(event.id, event.eventId, event.data, event.timestamp);
    }
    return idErrors;
}

bool DBusMenuExporter::AboutToShow(int id)
{
    Q_UNUSED(id);
    // The layout is always current: nothing to fetch again.
    return false;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& requested, QList<int>& idErrors)
{
    idErrors.clear();
    for (int id : requested)
        if (id != 0 && !actionOf(id))
            idErrors.append(id);
    return {};
}

bool DBusMenuExporter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == shownMenu
        && (event->type() == QEvent::ActionAdded || event->type() == QEvent::ActionRemoved
            || event->type() == QEvent::ActionChanged))
        announceChange();
    return QObject::eventFilter(watched, event);
}

void DBusMenuExporter::announceChange()
{
    if (changeAnnounced)
        return;
    changeAnnounced = true;
    QTimer::singleShot(0, this, [this] {
        changeAnnounced = false;
        ++revision;
        emit LayoutUpdated(revision, 0);
    });
}
