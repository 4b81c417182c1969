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

namespace {

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
    return bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                   | QDBusConnection::ExportAllProperties)
        && bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

void StatusNotifierHost::stop()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    items.clear();
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

void StatusNotifierHost::RegisterStatusNotifierItem(const QString& service)
{
    // An item names its bus name, or only its object path on the caller's.
    const QString name = service.startsWith('/') ? message().service() : service;
    if (!items.contains(name))
        items.append(name);
    emit StatusNotifierItemRegistered(name);
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
