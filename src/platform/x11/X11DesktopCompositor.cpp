#include "platform/x11/X11DesktopCompositor.h"
#include "platform/x11/X11DisplayLoss.h"

#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <atomic>
#include <string>

struct X11DesktopCompositor::Connection {
    Display* display = nullptr;
    // The X server went away: the display is not read again.
    std::atomic<bool> lost{false};
    Atom selection = 0;
    int fixesEventBase = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void()> handler;

    ~Connection()
    {
        notifier.reset();
        if (display) {
            X11DisplayLoss::forget(display);
            XCloseDisplay(display);
        }
    }

    // Takes what the server has sent; never waits. An answer read meanwhile
    // by isCompositing() may leave events queued: that answer already
    // counted them, and the next change wakes the notifier again.
    void readEvents()
    {
        bool changed = false;
        while (!lost && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            changed = changed
                || (event.type == fixesEventBase + XFixesSelectionNotify
                    && reinterpret_cast<const XFixesSelectionNotifyEvent&>(event).selection == selection);
        }
        if (lost) {
            // The socket stays readable at its end: stop listening to it.
            notifier->setEnabled(false);
            return;
        }
        if (changed && handler)
            handler();
    }
};

X11DesktopCompositor::X11DesktopCompositor() : connection(std::make_unique<Connection>())
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    connection->display = display;
    X11DisplayLoss::watch(display, connection->lost);
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    connection->selection = XInternAtom(display, name.c_str(), False);
    int errorBase = 0;
    int major = 5;
    int minor = 0;
    if (!XFixesQueryExtension(display, &connection->fixesEventBase, &errorBase)
        || !XFixesQueryVersion(display, &major, &minor))
        return;
    // A compositor taking the selection, and one ending with or without
    // giving it up.
    XFixesSelectSelectionInput(display, DefaultRootWindow(display), connection->selection,
        XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask
            | XFixesSelectionClientCloseNotifyMask);
    XFlush(display);
    connection->notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    Connection* watched = connection.get();
    QObject::connect(connection->notifier.get(), &QSocketNotifier::activated, connection->notifier.get(),
        [watched] { watched->readEvents(); });
}

X11DesktopCompositor::~X11DesktopCompositor() = default;

bool X11DesktopCompositor::isCompositing()
{
    if (!connection->display || connection->lost)
        return false;
    return XGetSelectionOwner(connection->display, connection->selection) != None;
}

void X11DesktopCompositor::setChangeHandler(std::function<void()> handler)
{
    connection->handler = std::move(handler);
}
