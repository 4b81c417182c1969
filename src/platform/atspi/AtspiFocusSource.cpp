#include "platform/atspi/AtspiFocusSource.h"

#include "base/Dispatch.h"
#include "base/Log.h"

#include <atspi/atspi-constants.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QHash>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <mutex>

// The accessibility bus is spoken to through Qt D-Bus rather than libatspi:
// libatspi attaches its connections to the default GLib main context, which
// Qt's GUI thread runs, so its callbacks would run on our main thread, beside
// a worker making calls through the same unsynchronised library.

namespace {

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString componentInterface = QStringLiteral("org.a11y.atspi.Component");
const QString nullPath = QStringLiteral("/org/a11y/atspi/null");
// Launching the accessibility bus may take a moment on a fresh session.
constexpr int busLookupTimeoutMs = 5000;

std::atomic<int> connectionCounter{0};

FocusRole roleFrom(uint role)
{
    switch (role) {
    case ATSPI_ROLE_ENTRY:
        return FocusRole::entry;
    case ATSPI_ROLE_PASSWORD_TEXT:
        return FocusRole::passwordText;
    case ATSPI_ROLE_TEXT:
        return FocusRole::text;
    case ATSPI_ROLE_PARAGRAPH:
        return FocusRole::paragraph;
    case ATSPI_ROLE_DOCUMENT_TEXT:
        return FocusRole::documentText;
    case ATSPI_ROLE_COMBO_BOX:
        return FocusRole::comboBox;
    default:
        return FocusRole::other;
    }
}

// The application's own object, the parent of its top-level windows.
const QString applicationRootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
// No window nests its fields deeper than this; a cycle would.
constexpr int deepestTree = 100;

struct ObjectReference {
    QString service;
    QString path;
};

} // namespace

namespace AtspiBridge {

// Receives the bus's signals on the worker thread (Qt D-Bus connects only
// to slots).
class SignalReceiver final : public QObject {
    Q_OBJECT
public:
    std::function<void(const QDBusMessage&)> onStateChanged;

public slots:
    void stateChanged(const QDBusMessage& message)
    {
        if (onStateChanged)
            onStateChanged(message);
    }
};

} // namespace AtspiBridge

struct AtspiFocusSource::Delivery {
    std::function<void()> handler; // main thread only
};

class AtspiFocusSource::Worker {
public:
    Worker(int timeout, int reconnectInterval, std::weak_ptr<Delivery> target)
        : callTimeoutMs(timeout),
          reconnectIntervalMs(reconnectInterval),
          delivery(std::move(target)),
          connectionName(QStringLiteral("tallowind-accessibility-%1").arg(++connectionCounter))
    {
        receiver.onStateChanged = [this](const QDBusMessage& message) { stateChanged(message); };
        receiver.moveToThread(&thread);
        thread.setObjectName(QStringLiteral("accessibility focus"));
        thread.start();
        onWorker([this] { connect(); });
    }

    ~Worker()
    {
        onWorker([this] {
            if (listening)
                QDBusConnection::disconnectFromBus(connectionName);
            QThread::currentThread()->quit();
        });
        thread.wait();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    std::optional<FocusedElement> cached() const
    {
        std::lock_guard lock(cacheMutex);
        return cache;
    }

    void refresh(Reply reply)
    {
        onWorker([this, reply = std::move(reply)] {
            std::optional<FocusedElement> element;
            if (!focusService.isEmpty()) {
                element = read(focusService, focusPath, focusId);
                store(element);
            }
            Dispatch::main().async([reply, element] { reply(element); });
        });
    }

    std::atomic<bool> listening{false};

private:
    template <typename Work> void onWorker(Work work)
    {
        QMetaObject::invokeMethod(&receiver, std::move(work), Qt::QueuedConnection);
    }

    QDBusConnection bus() const { return QDBusConnection(connectionName); }

    void connect()
    {
        QString address = qEnvironmentVariable("AT_SPI_BUS_ADDRESS");
        if (address.isEmpty()) {
            const QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"),
                QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
            const QDBusMessage answer = QDBusConnection::sessionBus().call(ask, QDBus::Block, busLookupTimeoutMs);
            if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
                retryLater(answer.errorMessage());
                return;
            }
            address = answer.arguments().constFirst().toString();
        }
        QDBusConnection connection = QDBusConnection::connectToBus(address, connectionName);
        if (!connection.isConnected()) {
            const QString reason = connection.lastError().message();
            QDBusConnection::disconnectFromBus(connectionName);
            retryLater(reason);
            return;
        }
        connection.connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Object"),
            QStringLiteral("StateChanged"), &receiver, SLOT(stateChanged(QDBusMessage)));
        // Applications emit only the events some listener has asked the
        // registry for.
        QDBusMessage registration = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.atspi.Registry"),
            QStringLiteral("/org/a11y/atspi/registry"), QStringLiteral("org.a11y.atspi.Registry"),
            QStringLiteral("RegisterEvent"));
        registration << QStringLiteral("object:state-changed:focused");
        const QDBusMessage registered = bus().call(registration, QDBus::Block, busLookupTimeoutMs);
        listening = registered.type() == QDBusMessage::ReplyMessage;
        if (!listening) {
            QDBusConnection::disconnectFromBus(connectionName);
            retryLater(registered.errorMessage());
        }
    }

    void retryLater(const QString& reason)
    {
        if (!retryLogged) {
            retryLogged = true;
            Log::system(QStringLiteral("[AtspiFocusSource] No accessibility bus yet (%1); looking again every %2 s")
                            .arg(reason)
                            .arg(reconnectIntervalMs / 1000.0));
        }
        QTimer::singleShot(reconnectIntervalMs, &receiver, [this] { connect(); });
    }

    void stateChanged(const QDBusMessage& message)
    {
        const QList<QVariant> arguments = message.arguments();
        if (arguments.size() < 2 || arguments.at(0).toString() != QLatin1String("focused")
            || arguments.at(1).toInt() != 1)
            return; // losing the focus is not news: see the class comment
        focusService = message.service();
        focusPath = message.path();
        focusId = ++nextElementId;
        store(read(focusService, focusPath, focusId));
        Dispatch::main().async([target = delivery] {
            const std::shared_ptr<Delivery> current = target.lock();
            if (current && current->handler)
                current->handler();
        });
    }

    void store(const std::optional<FocusedElement>& element)
    {
        std::lock_guard lock(cacheMutex);
        cache = element;
    }

    std::optional<QDBusMessage> call(const QString& service, const QString& path, const QString& interface,
        const QString& method, const QList<QVariant>& arguments = {}) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
        message.setArguments(arguments);
        const QDBusMessage answer = bus().call(message, QDBus::Block, callTimeoutMs);
        if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty())
            return std::nullopt;
        return answer;
    }

    FocusedElement read(const QString& service, const QString& path, uint64_t id)
    {
        FocusedElement element;
        element.elementId = id;
        element.processId = processOf(service);
        const std::optional<QDBusMessage> role = call(service, path, accessibleInterface, QStringLiteral("GetRole"));
        if (!role)
            return element; // gone or not answering: one timeout, not five
        element.role = roleFrom(role->arguments().constFirst().toUInt());

        const std::optional<QDBusMessage> states = call(service, path, accessibleInterface, QStringLiteral("GetState"));
        if (states) {
            const auto words = qdbus_cast<QList<uint>>(states->arguments().constFirst());
            constexpr int editable = ATSPI_STATE_EDITABLE;
            if (words.size() > editable / 32)
                element.editable = ((words.at(editable / 32) >> (editable % 32)) & 1u) != 0;
        }
        element.bounds = extentsOf(service, path);
        if (!element.bounds)
            return element;

        const std::optional<ObjectReference> parent = parentOf(service, path);
        if (parent) {
            element.hasParent = true;
            element.parentBounds = extentsOf(parent->service, parent->path);
        }
        element.windowBounds = windowExtentsOf(service, path, id, parent);
        return element;
    }

    // None for the application object, whose parent is the desktop, and
    // when the element did not answer.
    std::optional<ObjectReference> parentOf(const QString& service, const QString& path) const
    {
        const std::optional<QDBusMessage> parent =
            call(service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                {accessibleInterface, QStringLiteral("Parent")});
        if (!parent)
            return std::nullopt;
        const QDBusArgument reference =
            qvariant_cast<QDBusArgument>(qvariant_cast<QDBusVariant>(parent->arguments().constFirst()).variant());
        QString parentService;
        QDBusObjectPath parentPath;
        reference.beginStructure();
        reference >> parentService >> parentPath;
        reference.endStructure();
        if (parentService.isEmpty() || parentPath.path() == nullPath)
            return std::nullopt;
        return ObjectReference{parentService, parentPath.path()};
    }

    // The extents of the top-level window that holds the element: the
    // ancestor whose parent is the application. The walk is made once per
    // focused element; its window is only measured again.
    std::optional<QRectF> windowExtentsOf(
        const QString& service, const QString& path, uint64_t id, std::optional<ObjectReference> parent)
    {
        if (windowOwnerId != id || windowPath.isEmpty()) {
            windowPath.clear();
            QString current = path;
            for (int depth = 0; depth < deepestTree && parent && parent->service == service; ++depth) {
                if (parent->path == applicationRootPath) {
                    windowPath = current;
                    break;
                }
                current = parent->path;
                parent = parentOf(service, current);
            }
            windowOwnerId = id;
        }
        if (windowPath.isEmpty())
            return std::nullopt;
        return extentsOf(service, windowPath);
    }

    std::optional<QRectF> extentsOf(const QString& service, const QString& path) const
    {
        const std::optional<QDBusMessage> answer = call(service, path, componentInterface, QStringLiteral("GetExtents"),
            {QVariant::fromValue(uint(ATSPI_COORD_TYPE_SCREEN))});
        if (!answer)
            return std::nullopt;
        const QDBusArgument box = qvariant_cast<QDBusArgument>(answer->arguments().constFirst());
        int x = 0, y = 0, width = 0, height = 0;
        box.beginStructure();
        box >> x >> y >> width >> height;
        box.endStructure();
        return QRectF(x, y, width, height);
    }

    int64_t processOf(const QString& service)
    {
        if (const auto known = processes.constFind(service); known != processes.constEnd())
            return *known;
        const std::optional<QDBusMessage> answer =
            call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"), {service});
        const int64_t pid = answer ? static_cast<int64_t>(answer->arguments().constFirst().toUInt()) : 0;
        if (pid != 0)
            processes.insert(service, pid);
        return pid;
    }

    const int callTimeoutMs;
    // A bus that is not there yet (the tool started before the desktop's
    // accessibility service) is looked for again this often.
    const int reconnectIntervalMs;
    const std::weak_ptr<Delivery> delivery;
    const QString connectionName;
    QThread thread;
    AtspiBridge::SignalReceiver receiver;

    // Worker thread only.
    bool retryLogged = false;
    QString focusService;
    QString focusPath;
    uint64_t focusId = 0;
    uint64_t nextElementId = 0;
    uint64_t windowOwnerId = 0;
    QString windowPath;
    QHash<QString, int64_t> processes;

    mutable std::mutex cacheMutex;
    std::optional<FocusedElement> cache;
};

AtspiFocusSource::AtspiFocusSource(int callTimeoutMs, int reconnectIntervalMs)
    : delivery(std::make_shared<Delivery>()),
      worker(std::make_unique<Worker>(callTimeoutMs, reconnectIntervalMs, delivery))
{
}

AtspiFocusSource::~AtspiFocusSource() = default;

std::optional<FocusedElement> AtspiFocusSource::cachedFocus() const
{
    return worker->cached();
}

void AtspiFocusSource::refresh(Reply reply)
{
    worker->refresh(std::move(reply));
}

void AtspiFocusSource::setChangeHandler(std::function<void()> handler)
{
    delivery->handler = std::move(handler);
}

bool AtspiFocusSource::isListening() const
{
    return worker->listening;
}

#include "AtspiFocusSource.moc"
