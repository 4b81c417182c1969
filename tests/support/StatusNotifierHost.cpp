#include "support/StatusNotifierHost.h"

#include "support/EventLoop.h"
#include "support/Patience.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>

#include <utility>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");

// Sends a call and runs the event loop until its answer is in.
QDBusMessage callPumping(const QDBusMessage& call)
{
    QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call, Patience::reply);
    pumpUntil([&] { return pending.isFinished(); }, Patience::reply);
    return pending.isFinished() ? pending.reply() : QDBusMessage();
}

// A layout node: (ia{sv}av), its children each wrapped in a variant.
StatusNotifierHost::MenuEntry readEntry(const QDBusArgument& argument)
{
    StatusNotifierHost::MenuEntry entry;
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        entry.children.append(readEntry(child.variant().value<QDBusArgument>()));
    }
    argument.endArray();
    argument.endStructure();
    return entry;
}

} // namespace

QString StatusNotifierHost::MenuEntry::title() const
{
    if (properties.value(QStringLiteral("type")).toString() == QLatin1String("separator"))
        return QStringLiteral("--");
    return properties.value(QStringLiteral("label")).toString();
}

bool StatusNotifierHost::start()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.registerVirtualObject(watcherPath, this) && bus.registerService(watcherService);
}

void StatusNotifierHost::stop()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(watcherService);
    bus.unregisterObject(watcherPath);
    items.clear();
    held.clear();
}

bool StatusNotifierHost::busyUntil(const std::function<bool()>& done, int limitMs) const
{
    // The bus hands calls to this object through the event loop, so they
    // wait in its queue.
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

void StatusNotifierHost::resume()
{
    stalled = false;
    // Late answers, as a panel gives once it runs again.
    for (const QDBusMessage& call : std::exchange(held, {}))
        answer(call);
}

void StatusNotifierHost::setHostRegistered(bool registered)
{
    hostRegistered = registered;
    announce(
        registered ? QStringLiteral("StatusNotifierHostRegistered") : QStringLiteral("StatusNotifierHostUnregistered"));
}

QString StatusNotifierHost::introspect(const QString&) const
{
    return QStringLiteral(R"(<interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
  <signal name="StatusNotifierHostUnregistered"/>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
</interface>
)");
}

bool StatusNotifierHost::handleMessage(const QDBusMessage& message, const QDBusConnection&)
{
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Introspectable"))
        return false;
    const bool registration = message.member() == QLatin1String("RegisterStatusNotifierItem");
    received.append(
        registration || message.arguments().size() < 2 ? message.member() : message.arguments().at(1).toString());
    if (registration && std::exchange(stallPending, false))
        stalled = true;
    if (stalled)
        held.append(message);
    else
        answer(message);
    return true;
}

void StatusNotifierHost::answer(const QDBusMessage& call)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (call.member() == QLatin1String("RegisterStatusNotifierItem") && call.interface() == watcherService) {
        bus.send(registered(call));
    } else if (call.member() == QLatin1String("Get") && call.interface() == propertiesInterface
        && call.arguments().size() == 2) {
        const QVariant value = property(call.arguments().at(1).toString());
        bus.send(value.isValid()
                ? call.createReply(QVariant::fromValue(QDBusVariant(value)))
                : call.createErrorReply(QDBusError::UnknownProperty, QStringLiteral("No such property")));
    } else if (call.member() == QLatin1String("GetAll") && call.interface() == propertiesInterface) {
        QVariantMap all;
        for (const QString& name : {QStringLiteral("RegisteredStatusNotifierItems"),
                 QStringLiteral("IsStatusNotifierHostRegistered"), QStringLiteral("ProtocolVersion")})
            all.insert(name, property(name));
        bus.send(call.createReply(QVariant::fromValue(all)));
    } else {
        bus.send(call.createErrorReply(QDBusError::UnknownMethod, call.member()));
    }
}

QDBusMessage StatusNotifierHost::registered(const QDBusMessage& call)
{
    if (refusalsLeft > 0) {
        --refusalsLeft;
        return call.createErrorReply(QDBusError::Failed, QStringLiteral("The item is not wanted"));
    }
    // An item names its bus name, or only its object path on the caller's.
    const QString service = call.arguments().value(0).toString();
    const QString name = service.startsWith('/') ? call.service() : service;
    if (items.contains(name)) {
        if (repeatsRefused)
            return call.createErrorReply(QStringLiteral("org.kde.StatusNotifierWatcher.Item.AlreadyRegistered"),
                QStringLiteral("The item is registered already"));
    } else {
        items.append(name);
    }
    announce(QStringLiteral("StatusNotifierItemRegistered"), {name});
    return call.createReply();
}

QVariant StatusNotifierHost::property(const QString& name) const
{
    if (name == QLatin1String("RegisteredStatusNotifierItems"))
        return items;
    if (name == QLatin1String("IsStatusNotifierHostRegistered"))
        return hostRegistered;
    if (name == QLatin1String("ProtocolVersion"))
        return 0;
    return {};
}

void StatusNotifierHost::announce(const QString& signal, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createSignal(watcherPath, watcherService, signal);
    message.setArguments(arguments);
    QDBusConnection::sessionBus().send(message);
}

QString StatusNotifierHost::menuPath(const QString& item) const
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        item, itemPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << itemInterface << QStringLiteral("Menu");
    const QDBusMessage reply = callPumping(get);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
}

QList<StatusNotifierHost::MenuEntry> StatusNotifierHost::menu(const QString& item) const
{
    const QString path = menuPath(item);
    if (path.isEmpty())
        return {};
    QDBusMessage layout = QDBusMessage::createMethodCall(item, path, menuInterface, QStringLiteral("GetLayout"));
    layout << 0 << -1 << QStringList();
    const QDBusMessage reply = callPumping(layout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2)
        return {};
    return readEntry(reply.arguments().at(1).value<QDBusArgument>()).children;
}

bool StatusNotifierHost::click(const QString& item, int entryId) const
{
    QDBusMessage event = QDBusMessage::createMethodCall(item, menuPath(item), menuInterface, QStringLiteral("Event"));
    event << entryId << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
    return callPumping(event).type() == QDBusMessage::ReplyMessage;
}

bool StatusNotifierHost::activate(const QString& item, int x, int y) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(item, itemPath, itemInterface, QStringLiteral("Activate"));
    call << x << y;
    return callPumping(call).type() == QDBusMessage::ReplyMessage;
}
