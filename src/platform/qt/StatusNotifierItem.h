#pragma once

#include "platform/TrayIcon.h"
#include "platform/qt/DBusMenuExporter.h"
#include "platform/qt/StatusNotifierRegistration.h"

#include <QCache>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>

#include <functional>
#include <memory>

class QDBusServiceWatcher;

// One picture of an icon: (iiay), ARGB32 in network byte order.
struct StatusNotifierPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
Q_DECLARE_METATYPE(StatusNotifierPixmap)
Q_DECLARE_METATYPE(QList<StatusNotifierPixmap>)

// (sa(iiay)ss): icon name, pictures, title, description.
struct StatusNotifierToolTip {
    QString iconName;
    QList<StatusNotifierPixmap> pixmaps;
    QString title;
    QString description;
};
Q_DECLARE_METATYPE(StatusNotifierToolTip)

QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const StatusNotifierToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, StatusNotifierToolTip& toolTip);

// The tool's icon as a StatusNotifierItem of its own, with its menu over
// com.canonical.dbusmenu, on a connection of its own to the session bus. Qt
// decides once per process whether its tray icons are of this kind, so a
// watcher that appears later would never get Qt's icon: this item offers
// itself to every StatusNotifierWatcher with a host that appears or comes
// back, while it is active. It never waits on the watcher: a panel busy at
// login answers late. Where it stands is StatusNotifierRegistration's one
// state. Main thread only; only the D-Bus methods are slots.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ emptyText)
    Q_PROPERTY(QString IconName READ emptyText)
    Q_PROPERTY(QList<StatusNotifierPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyText)
    Q_PROPERTY(QList<StatusNotifierPixmap> OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ emptyText)
    Q_PROPERTY(QList<StatusNotifierPixmap> AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ emptyText)
    Q_PROPERTY(StatusNotifierToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menuPath)

public:
    using State = StatusNotifierRegistration::State;

    explicit StatusNotifierItem(StatusNotifierTiming timing = {});
    ~StatusNotifierItem() override;

    State state() const { return registration.state(); }
    // In a panel: registered, or clicked there since the state changed.
    bool isShownInHost() const { return registration.isShownInHost(); }
    // While active, the item is offered to each watcher with a host.
    void setActive(bool active) { registration.setActive(active); }
    // Leaves the session bus for good: hosts drop the item and its menu,
    // and no call of theirs arrives any more.
    void withdraw();
    bool isActive() const { return registration.isActive(); }

    // Pictures are made once per icon: a tray shows a few icons in turn.
    void setIcon(const QIcon& icon);
    void setToolTip(const QString& text);
    void setMenu(QMenu* menu) { menuExporter.setMenu(menu); }
    // Left (Activate) and right (ContextMenu) clicks the host reports.
    void setClickHandler(std::function<void(TrayClick)> handler) { onClick = std::move(handler); }
    // Called whenever state() changed.
    void setChangeHandler(std::function<void()> handler) { onChange = std::move(handler); }

    // The pictures of `icon` the item offers, in the protocol's byte order.
    static QList<StatusNotifierPixmap> pixmapsOf(const QIcon& icon);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("tallowind"); }
    QString title() const { return QStringLiteral("Tallowind"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString emptyText() const { return {}; }
    QList<StatusNotifierPixmap> iconPixmap() const { return pixmaps; }
    QList<StatusNotifierPixmap> noPixmaps() const { return {}; }
    StatusNotifierToolTip toolTip() const { return {QString(), {}, tip, QString()}; }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menuPath() const;

public slots:
    void ContextMenu(int x, int y);
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void Scroll(int delta, const QString& orientation);

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private slots:
    // The watcher's StatusNotifierHostRegistered and
    // StatusNotifierHostUnregistered; private slots stay off the bus.
    void hostRegistered();
    void hostUnregistered();

private:
    void watcherChanged(const QString& owner);
    // Sends `call` to the watcher and hands its answer to `answered`, unless
    // another watcher has come meanwhile.
    void callWatcher(const QDBusMessage& call, std::function<void(const QDBusMessage& reply)> answered);
    void askForHost();
    void offerItem();
    void readRegisteredItems();
    void hostClicked(TrayClick click);

    QDBusConnection bus;
    StatusNotifierTiming timing;
    bool exported = false;
    DBusMenuExporter menuExporter;
    std::unique_ptr<QDBusServiceWatcher> watcher;
    StatusNotifierRegistration registration;
    // Answers of an older watcher are dropped.
    int watcherGeneration = 0;
    QList<StatusNotifierPixmap> pixmaps;
    QCache<qint64, QList<StatusNotifierPixmap>> pixmapsByIcon{8};
    QString tip = QStringLiteral("Tallowind");
    std::function<void(TrayClick)> onClick;
    std::function<void()> onChange;
};
