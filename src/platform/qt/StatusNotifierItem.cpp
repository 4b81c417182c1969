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

#include <algorithm>

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

// A property of the watcher.
QDBusMessage watcherProperty(const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcherService << name;
    return get;
}

QVariant propertyIn(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

// A call that got no answer in time: the watcher runs but is busy.
bool unanswered(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return false;
    const QDBusError::ErrorType type = QDBusError(reply).type();
    return type == QDBusError::NoReply || type == QDBusError::Timeout || type == QDBusError::TimedOut;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(StatusNotifierTiming givenTiming)
    : bus(ownConnection()),
      timing(givenTiming),
      registration({
                       [this] { askForHost(); },
                       [this] { offerItem(); },
                       [this] { readRegisteredItems(); },
                       [this] {
                           if (onChange)
                               onChange();
                       },
                   },
          givenTiming)
{
    qDBusRegisterMetaType<StatusNotifierPixmap>();
    qDBusRegisterMetaType<QList<StatusNotifierPixmap>>();
    qDBusRegisterMetaType<StatusNotifierToolTip>();
    DBusMenuExporter::registerTypes();
    if (!bus.isConnected())
        return;
    exported =
        bus.registerObject(itemPath, this, exportAll) && bus.registerObject(menuObjectPath, &menuExporter, exportAll);
    if (!exported)
        return;
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
        if (owner.isValid() && !owner.value().isEmpty())
            registration.watcherAppeared();
    }
}

StatusNotifierItem::~StatusNotifierItem()
{
    withdraw();
}

void StatusNotifierItem::withdraw()
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

void StatusNotifierItem::watcherChanged(const QString& owner)
{
    ++watcherGeneration;
    if (owner.isEmpty())
        registration.watcherGone();
    else
        registration.watcherAppeared();
}

void StatusNotifierItem::callWatcher(const QDBusMessage& call, std::function<void(const QDBusMessage& reply)> answered)
{
    const int thisWatcher = watcherGeneration;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call, timing.callTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
        [this, thisWatcher, answered = std::move(answered)](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            if (thisWatcher == watcherGeneration)
                answered(done->reply());
        });
}

void StatusNotifierItem::askForHost()
{
    using Answer = StatusNotifierRegistration::HostAnswer;
    callWatcher(watcherProperty(QStringLiteral("IsStatusNotifierHostRegistered")), [this](const QDBusMessage& reply) {
        // An error answer reads as no host, as it does for Qt's own check.
        if (unanswered(reply))
            registration.hostAnswered(Answer::unanswered);
        else
            registration.hostAnswered(propertyIn(reply).toBool() ? Answer::some : Answer::none);
    });
}

void StatusNotifierItem::offerItem()
{
    using Answer = StatusNotifierRegistration::OfferAnswer;
    QDBusMessage call = QDBusMessage::createMethodCall(
        watcherService, watcherPath, watcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << bus.baseService();
    callWatcher(call, [this](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ErrorMessage)
            registration.offerAnswered(Answer::taken);
        else if (unanswered(reply))
            registration.offerAnswered(Answer::unanswered);
        // A watcher that has the item already says so by an error.
        else if (reply.errorName().endsWith(QLatin1String(".AlreadyRegistered")))
            registration.offerAnswered(Answer::alreadyRegistered);
        else
            registration.offerAnswered(Answer::refused, reply.errorMessage());
    });
}

void StatusNotifierItem::readRegisteredItems()
{
    using Answer = StatusNotifierRegistration::ListAnswer;
    callWatcher(watcherProperty(QStringLiteral("RegisteredStatusNotifierItems")), [this](const QDBusMessage& reply) {
        if (unanswered(reply)) {
            registration.registeredItemsRead(Answer::unanswered);
            return;
        }
        // Listed by bus name, or by bus name and object path.
        const QString name = bus.baseService();
        const QStringList items = propertyIn(reply).toStringList();
        const bool listed = std::any_of(items.begin(), items.end(),
            [&](const QString& item) { return item == name || item.startsWith(name + QLatin1Char('/')); });
        registration.registeredItemsRead(listed ? Answer::listed : Answer::notListed);
    });
}

void StatusNotifierItem::hostRegistered()
{
    registration.hostRegistered();
}

void StatusNotifierItem::hostUnregistered()
{
    registration.hostUnregistered();
}

void StatusNotifierItem::setIcon(const QIcon& icon)
{
    if (const QList<StatusNotifierPixmap>* made = pixmapsByIcon.object(icon.cacheKey())) {
        pixmaps = *made;
    } else {
        pixmaps = pixmapsOf(icon);
        pixmapsByIcon.insert(icon.cacheKey(), new QList<StatusNotifierPixmap>(pixmaps));
    }
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
    hostClicked(TrayClick::right);
}

void StatusNotifierItem::Activate(int x, int y)
{
    Q_UNUSED(x);
    Q_UNUSED(y);
    hostClicked(TrayClick::left);
}

void StatusNotifierItem::hostClicked(TrayClick click)
{
    // Noted before the click is handed on: what it opens hangs from an icon
    // in a panel, whatever the watcher said.
    registration.clickedInHost();
    if (onClick)
        onClick(click);
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
