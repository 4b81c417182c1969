#include "platform/x11/X11ClipboardHandOver.h"

#include "base/Log.h"
#include "platform/x11/X11ClipboardManagerWatch.h"
#include "platform/x11/X11DisplayLoss.h"
#include "platform/x11/XcbProperties.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <xcb/xcb.h>

#include <cstdlib>

namespace X11ClipboardHandOver {
namespace {

// Catches the manager's answer to our window among Qt's events.
class SelectionNotifyFilter final : public QAbstractNativeEventFilter {
public:
    explicit SelectionNotifyFilter(xcb_window_t requestor) : window(requestor) { }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
            return false;
        const auto* notify = static_cast<const xcb_selection_notify_event_t*>(message);
        if (notify->requestor != window)
            return false;
        answered = true;
        saved = notify->property != XCB_ATOM_NONE;
        return true;
    }

    bool answered = false;
    bool saved = false;

private:
    xcb_window_t window;
};

xcb_window_t selectionOwner(xcb_connection_t* connection, xcb_atom_t selection)
{
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t{XCB_NONE};
    std::free(reply);
    return owner;
}

// An unmapped window of our own that the manager answers.
xcb_window_t createRequestor(xcb_connection_t* connection)
{
    const xcb_window_t window = xcb_generate_id(connection);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
        XCB_COPY_FROM_PARENT, 0, nullptr);
    return window;
}

} // namespace

void toClipboardManager(const std::function<void()>& endProcess, std::chrono::milliseconds bound)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!connection || X11DisplayLoss::lost() || xcb_connection_has_error(connection) || !clipboard
        || !clipboard->ownsClipboard())
        return;
    // A clipboard given back empty stays ours, offering nothing to save.
    if (const QMimeData* offered = clipboard->mimeData(); !offered || offered->formats().isEmpty())
        return;
    const xcb_atom_t manager = internAtom(connection, "CLIPBOARD_MANAGER");
    const xcb_atom_t saveTargets = internAtom(connection, "SAVE_TARGETS");
    const xcb_window_t managerWindow =
        manager == XCB_ATOM_NONE ? xcb_window_t{XCB_NONE} : selectionOwner(connection, manager);
    if (saveTargets == XCB_ATOM_NONE || managerWindow == XCB_NONE)
        return;
    // The quit is over for the user: the icon and the windows are gone, and
    // a start meanwhile is a Tallowind of its own.
    Log::system(QStringLiteral("[X11ClipboardHandOver] Handing the clipboard to the clipboard manager, for at most "
                               "%1 ms; Tallowind has quit, a start meanwhile runs on its own")
                    .arg(bound.count()));

    X11ClipboardManagerWatch watch(managerWindow, bound, endProcess);
    const xcb_window_t requestor = createRequestor(connection);
    SelectionNotifyFilter filter(requestor);
    qGuiApp->installNativeEventFilter(&filter);
    // No list of targets on the property: the manager saves every one.
    xcb_delete_property(connection, requestor, saveTargets);
    xcb_convert_selection(connection, requestor, manager, saveTargets, saveTargets, XCB_CURRENT_TIME);
    xcb_flush(connection);

    // Qt answers the manager's requests for our data from its event loop.
    // The quit has ended the application's loop, and a further quit (a
    // second signal) must not cut the hand-over short: turn it here.
    while (!filter.answered && !watch.managerGone() && !watch.overdue() && !X11DisplayLoss::lost()
        && !xcb_connection_has_error(connection))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    qGuiApp->removeNativeEventFilter(&filter);
    const bool inTime = watch.finish();

    if (inTime && !filter.answered && watch.managerGone()) {
        Log::system(QStringLiteral("[X11ClipboardHandOver] The clipboard manager went away before it took the "
                                   "clipboard; it ends with Tallowind"));
    } else if (inTime && filter.answered && !filter.saved) {
        Log::system(QStringLiteral("[X11ClipboardHandOver] The clipboard manager refused the clipboard"));
    }
    if (!xcb_connection_has_error(connection)) {
        xcb_destroy_window(connection, requestor);
        xcb_flush(connection);
    }
}

} // namespace X11ClipboardHandOver
