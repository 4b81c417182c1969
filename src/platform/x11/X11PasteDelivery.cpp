#include "platform/x11/X11PasteDelivery.h"

#include "base/Log.h"
#include "platform/x11/X11DisplayLoss.h"
#include "platform/x11/X11TextAnswer.h"
#include "platform/x11/XcbProperties.h"

#include <QClipboard>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

X11PasteDelivery::X11PasteDelivery(Bounds limits) : bounds(limits)
{
    waitTimer.setSingleShot(true);
    settleTimer.setSingleShot(true);
    QObject::connect(&waitTimer, &QTimer::timeout, &waitTimer, [this] {
        close(QStringLiteral("[X11PasteDelivery] The program the text was pasted into did not ask for it within "
                             "%1 s; it is no longer kept for it")
                  .arg(bounds.wait.count() / 1000.0));
    });
    QObject::connect(&settleTimer, &QTimer::timeout, &settleTimer, [this] { close(); });
}

X11PasteDelivery::~X11PasteDelivery()
{
    if (connection && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

// Qt's connection, on first use: the application exists by then.
bool X11PasteDelivery::attach()
{
    if (connection)
        return !X11DisplayLoss::lost() && !xcb_connection_has_error(connection);
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || X11DisplayLoss::lost())
        return false;
    connection = x11->connection();
    clipboardAtom = internAtom(connection, "CLIPBOARD");
    answers = std::make_unique<X11TextAnswer>(connection);
    qGuiApp->installNativeEventFilter(this);
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::changed, &settleTimer, [this] {
        if (owed && owed->taken)
            close();
    });
    return true;
}

bool X11PasteDelivery::deliver(const QString& text, bool withPrimary)
{
    close(QStringLiteral("[X11PasteDelivery] The program the last text was pasted into had not asked for it when "
                         "the next one was pasted; it is no longer kept for it"));
    const std::optional<uint32_t> client = attach() ? focusedClient() : std::nullopt;
    if (!client)
        return false;
    owed = Owed{*client, text, withPrimary};
    waitTimer.start(bounds.wait);
    return true;
}

uint64_t X11PasteDelivery::fetchCount(Selection selection) const
{
    return fetches[static_cast<size_t>(selection)].count.load();
}

PasteDelivery::Clock::time_point X11PasteDelivery::lastFetchTime(Selection selection) const
{
    return Clock::time_point(Clock::duration(fetches[static_cast<size_t>(selection)].lastTicks.load()));
}

// No program has the focus (None, PointerRoot, a root window), or we have
// it: Qt answers as it always did.
std::optional<uint32_t> X11PasteDelivery::focusedClient() const
{
    xcb_get_input_focus_reply_t* reply =
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    const xcb_window_t focus = reply ? reply->focus : xcb_window_t{XCB_NONE};
    std::free(reply);
    if (focus == XCB_NONE || focus == XCB_INPUT_FOCUS_POINTER_ROOT)
        return std::nullopt;
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem; xcb_screen_next(&screens)) {
        if (screens.data->root == focus)
            return std::nullopt;
    }
    const uint32_t client = clientOf(focus);
    if (client == xcb_get_setup(connection)->resource_id_base)
        return std::nullopt;
    return client;
}

// The server hands each client a range of ids; the bits outside the mask
// name the client.
uint32_t X11PasteDelivery::clientOf(uint32_t window) const
{
    return window & ~xcb_get_setup(connection)->resource_id_mask;
}

bool X11PasteDelivery::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (!owed || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
        return false;
    const auto* request = static_cast<const xcb_selection_request_event_t*>(message);
    const bool clipboard = request->selection == clipboardAtom;
    const bool primary = request->selection == XCB_ATOM_PRIMARY && owed->withPrimary;
    if ((!clipboard && !primary) || clientOf(request->requestor) != owed->client)
        return false;

    if (answers->answer(*request, owed->text) == X11TextAnswer::Outcome::text) {
        FetchLog& log = fetches[static_cast<size_t>(clipboard ? Selection::clipboard : Selection::primary)];
        log.lastTicks.store(Clock::now().time_since_epoch().count());
        log.count.fetch_add(1);
        owed->taken = true;
        settleTimer.start(bounds.settle);
    }
    return true;
}

void X11PasteDelivery::close(const QString& why)
{
    if (owed && !owed->taken && !why.isEmpty())
        Log::system(why);
    owed.reset();
    waitTimer.stop();
    settleTimer.stop();
}
