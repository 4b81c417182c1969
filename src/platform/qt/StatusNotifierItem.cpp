#include "platform/qt/StatusNotifierItem.h"

#include "base/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierPixmap& pixmap)
{
    argument.beginStructure();
    argument << pixmap.width << pixmap.height << pixmap.argb;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierPixmap& pixmap)
{
    argument.beginStructure();
    argument >> pixmap.width >> pixmap.height >> pixmap.argb;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierToolTip& toolTip)
{
    argument.beginStructure();
    argument << toolTip.iconName << toolTip.pixmaps << toolTip.title << toolTip.description;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierToolTip& toolTip)
{
    argument.beginStructure();
    argument >> toolTip.iconName >> toolTip.pixmaps >> toolTip.title >> toolTip.description;
    argument.endStructure();
    return argument;
}

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuObjectPath = QStringLiteral("/MenuBar");

constexpr QDBusConnection::RegisterOptions exportAll =
    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals | QDBusConnection::ExportAllProperties;

// A connection of the item's own: the object paths it takes are then free
// of anything else of the process's on the shared one.
QDBusConnection ownConnection()
{
    static int made = 0;
    return QDBusConnection::connectToBus(
        QDBusConnection::SessionBus, QStringLiteral("tallowind-status-notifier-%1").arg(++made));
}

// Asks the watcher whether a host shows its items.
QDBusMessage hostQuery()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

// A call that got no answer in time: the watcher runs but is busy.
bool unanswered(const QDBusError& error)
{
    return error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout
        || error.type() == QDBusError::TimedOut;
}

} // namespace

StatusNotifierItem::StatusNotifierItem() : bus(ownConnection())
{
    qDBusRegisterMetaType<StatusNotifierPixmap>();
    qDBusRegisterMetaType<QList<StatusNotifierPixmap>>();
    qDBusRegisterMetaType<StatusNotifierToolTip>();
    DBusMenuExporter::registerTypes();
    if (!bus.isConnected())
        return;
    exported =
        bus.registerObject(itemPath, this, exportAll) && bus.registerObject(menuObjectPath, &menuExporter, exportAll);
    watcher = std::make_unique<QDBusServiceWatcher>(watcherService, bus, QDBusServiceWatcher::WatchForOwnerChange);
    connect(watcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString&, const QString&, const QString& owner) { watcherChanged(owner); });
    // A panel whose watcher runs apart from its host (KDE's) announces the
    // host later.
    bus.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierHostRegistered"), this,
        SLOT(hostRegistered()));
    bus.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierHostUnregistered"), this,
        SLOT(hostUnregistered()));
    // The bus daemon answers at once; the watcher, a panel's, may be busy
    // and is asked without waiting.
    if (QDBusConnectionInterface* daemon = bus.interface()) {
        const QDBusReply<QString> owner = daemon->serviceOwner(watcherService);
        if (owner.isValid())
            watcherOwner = owner.value();
    }
    if (watcherRunning())
        askForHost();
}

StatusNotifierItem::~StatusNotifierItem()
{
    watcher.reset();
    if (!bus.isConnected())
        return;
    bus.unregisterObject(menuObjectPath);
    bus.unregisterObject(itemPath);
    const QString name = bus.name();
    bus = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name);
}

bool StatusNotifierItem::hostPresent() const
{
    return watcherRunning() && hostAnswer == HostAnswer::some;
}

bool StatusNotifierItem::watcherRunning() const
{
    return exported && !watcherOwner.isEmpty();
}

bool StatusNotifierItem::noHost() const
{
    return !watcherRunning() || hostAnswer == HostAnswer::none;
}

void StatusNotifierItem::setActive(bool now)
{
    if (active == now)
        return;
    active = now;
    if (active && watcherRunning())
        registerWithWatcher();
}

void StatusNotifierItem::watcherChanged(const QString& owner)
{
    watcherOwner = owner;
    // Whatever took the item before is gone; a new watcher knows nothing of
    // it.
    ++watcherGeneration;
    hostAnswer = HostAnswer::pending;
    registering = false;
    registered = false;
    registerOnAnswer = false;
    changed();
    if (owner.isEmpty() || !exported)
        return;
    askForHost();
    if (active)
        registerWithWatcher();
}

void StatusNotifierItem::askForHost()
{
    const int thisWatcher = watcherGeneration;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(hostQuery()), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, thisWatcher](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        if (thisWatcher != watcherGeneration)
            return;
        const QDBusMessage reply = done->reply();
        if (reply.type() != QDBusMessage::ReplyMessage && unanswered(done->error())) {
            askForHost();
            return;
        }
        // An error answer reads as no host, as it does for Qt's own check.
        const bool some = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            && reply.arguments().first().value<QDBusVariant>().variant().toBool();
        watcherAnswered(some ? HostAnswer::some : HostAnswer::none);
    });
}

void StatusNotifierItem::hostRegistered()
{
    if (!watcherOwner.isEmpty())
        watcherAnswered(HostAnswer::some);
}

void StatusNotifierItem::hostUnregistered()
{
    // Other hosts may still show items.
    if (!watcherOwner.isEmpty())
        askForHost();
}

void StatusNotifierItem::watcherAnswered(HostAnswer answer)
{
    hostAnswer = answer;
    if (registerOnAnswer && active && !registering) {
        registerOnAnswer = false;
        registerWithWatcher();
    }
    changed();
}

void StatusNotifierItem::registerWithWatcher()
{
    if (registering)
        return;
    registering = true;
    QDBusMessage call = QDBusMessage::createMethodCall(
        watcherService, watcherPath, watcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << bus.baseService();
    const int thisWatcher = watcherGeneration;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, thisWatcher](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        if (thisWatcher != watcherGeneration)
            return;
        registering = false;
        if (done->isError()) {
            Log::system(
                QStringLiteral("[StatusNotifierItem] The StatusNotifierWatcher did not take the tray icon (%1); "
                               "it is offered again when the watcher next answers")
                    .arg(done->error().message()));
            registerOnAnswer = true;
            // A watcher that refused is not asked again at once: it would
            // refuse again.
            if (unanswered(done->error()))
                askForHost();
            return;
        }
        registered = true;
        changed();
    });
}

void StatusNotifierItem::changed()
{
    if (onChange)
        onChange();
}

void StatusNotifierItem::setIcon(const QIcon& icon)
{
    pixmaps = pixmapsOf(icon);
    emit NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& text)
{
    tip = text;
    emit NewToolTip();
}

QList<StatusNotifierPixmap> StatusNotifierItem::pixmapsOf(const QIcon& icon)
{
    QList<StatusNotifierPixmap> result;
    if (icon.isNull())
        return result;
    for (int side : {16, 22, 24, 32, 48, 64}) {
        QImage image = icon.pixmap(QSize(side, side)).toImage();
        if (image.isNull())
            continue;
        if (image.size() != QSize(side, side))
            image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        image = image.convertToFormat(QImage::Format_ARGB32);
        StatusNotifierPixmap pixmap{image.width(), image.height(), {}};
        pixmap.argb.resize(qsizetype(image.width()) * image.height() * 4);
        auto* out = reinterpret_cast<uchar*>(pixmap.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x, out += 4)
                qToBigEndian<quint32>(line[x], out);
        }
        result.append(pixmap);
    }
    return result;
}

QDBusObjectPath StatusNotifierItem::menuPath() const
{
    return QDBusObjectPath(menuExporter.menu() ? menuObjectPath : QStringLiteral("/NO_DBUSMENU"));
}

void StatusNotifierItem::ContextMenu(int x, int y)
{
    Q_UNUSED(x);
    Q_UNUSED(y);
    if (onClick)
        onClick(TrayClick::right);
}

void StatusNotifierItem::Activate(int x, int y)
{
    Q_UNUSED(x);
    Q_UNUSED(y);
    if (onClick)
        onClick(TrayClick::left);
}

void StatusNotifierItem::SecondaryActivate(int x, int y)
{
    Q_UNUSED(x);
    Q_UNUSED(y);
}

void StatusNotifierItem::Scroll(int delta, const QString& orientation)
{
    Q_UNUSED(delta);
    Q_UNUSED(orientation);
}
