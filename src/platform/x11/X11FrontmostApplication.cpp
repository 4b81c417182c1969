#include "platform/x11/X11FrontmostApplication.h"

#include "base/Dispatch.h"
#include "platform/x11/X11DisplayLoss.h"
#include "platform/x11/XcbProperties.h"

// xcb rather than Xlib: a window that closes between two reads yields an
// error for that one request, with no process-wide error handler involved.
#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr int64_t unknownProcess = -1;

// The window's child of the root window: the window manager's frame around
// it, or the window itself when nothing reparented it.
xcb_window_t topLevelOf(xcb_connection_t* connection, xcb_window_t window, xcb_window_t root)
{
    // A window tree deeper than this is no frame a window manager made.
    for (int depth = 0; depth < 16; ++depth) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
        if (!tree)
            return XCB_WINDOW_NONE;
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == root || parent == XCB_WINDOW_NONE)
            return window;
        window = parent;
    }
    return XCB_WINDOW_NONE;
}

// The window's rectangle in root coordinates, its border included; none
// when it is gone.
std::optional<QRect> rectangleOf(xcb_connection_t* connection, xcb_window_t window, xcb_window_t root)
{
    xcb_get_geometry_reply_t* size = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    xcb_translate_coordinates_reply_t* origin =
        xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr);
    std::optional<QRect> rect;
    if (size && origin) {
        const int border = size->border_width;
        rect =
            QRect(origin->dst_x - border, origin->dst_y - border, size->width + 2 * border, size->height + 2 * border);
    }
    std::free(size);
    std::free(origin);
    return rect;
}

} // namespace

struct X11FrontmostApplication::Delivery {
    std::function<void()> handler; // main thread only
};

class X11FrontmostApplication::Watcher {
public:
    explicit Watcher(std::weak_ptr<Delivery> target) : delivery(std::move(target)) { }

    ~Watcher()
    {
        if (thread.joinable()) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = write(wakePipe[1], &byte, 1);
            thread.join();
        }
        if (connection)
            xcb_disconnect(connection);
        for (int fd : wakePipe)
            if (fd >= 0)
                close(fd);
    }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    bool open()
    {
        int screenNumber = 0;
        connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(connection))
            return false;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
            xcb_screen_next(&screens);
        if (screens.rem == 0)
            return false;
        root = screens.data->root;
        activeWindowAtom = internAtom(connection, "_NET_ACTIVE_WINDOW");
        pidAtom = internAtom(connection, "_NET_WM_PID");
        if (activeWindowAtom == XCB_ATOM_NONE || pidAtom == XCB_ATOM_NONE)
            return false;
        if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;

        // Substructure events tell when the active window's frame moves.
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        readActiveProcess();
        readActiveGeometry();
        thread = std::thread([this] { run(); });
        return true;
    }

    std::atomic<int64_t> processId{unknownProcess};

    std::optional<ActiveWindowGeometry> geometry() const
    {
        std::lock_guard lock(geometryMutex);
        return activeGeometry;
    }

private:
    void run()
    {
        const int xFd = xcb_get_file_descriptor(connection);
        // Every reply read (in open() and below) may take events off the
        // socket into xcb's queue, where poll() cannot see them: the queue
        // is emptied before each sleep, or a change would wait for the next.
        bool queued = true;
        for (;;) {
            if (!queued) {
                pollfd fds[2] = {{xFd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
                if (poll(fds, 2, -1) < 0)
                    continue;
                if (fds[1].revents != 0)
                    return;
            }
            queued = false;
            bool activeChanged = false;
            bool frameChanged = false;
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                const uint8_t type = event->response_type & 0x7f;
                if (type == XCB_PROPERTY_NOTIFY) {
                    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                    activeChanged = activeChanged || change->atom == activeWindowAtom;
                } else if (type == XCB_CONFIGURE_NOTIFY) {
                    const auto* change = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
                    frameChanged = frameChanged || change->window == activeFrame;
                } else if (type == XCB_REPARENT_NOTIFY) {
                    // A window manager may frame the window after it is
                    // already active.
                    frameChanged = true;
                }
                std::free(event);
            }
            if (xcb_connection_has_error(connection)) {
                X11DisplayLoss::report();
                return;
            }
            const bool processChanged = activeChanged && readActiveProcess();
            if (activeChanged || frameChanged) {
                readActiveGeometry();
                queued = true;
            }
            if (processChanged)
                Dispatch::main().async([target = delivery] {
                    const std::shared_ptr<Delivery> current = target.lock();
                    if (current && current->handler)
                        current->handler();
                });
        }
    }

    // True when another application (or none) is now in front.
    bool readActiveProcess()
    {
        const std::optional<uint32_t> window = propertyValue(connection, root, activeWindowAtom, XCB_ATOM_WINDOW);
        const xcb_window_t active = window.value_or(XCB_WINDOW_NONE);
        std::optional<uint32_t> pid;
        if (active != XCB_WINDOW_NONE)
            pid = propertyValue(connection, active, pidAtom, XCB_ATOM_CARDINAL);
        const int64_t current = pid ? static_cast<int64_t>(*pid) : unknownProcess;
        const bool changed = active != activeWindow || current != processId.load();
        activeWindow = active;
        processId = current;
        return changed;
    }

    // Of the window readActiveProcess() last found active.
    void readActiveGeometry()
    {
        const xcb_window_t active = activeWindow;
        std::optional<ActiveWindowGeometry> read;
        activeFrame = XCB_WINDOW_NONE;
        if (active != XCB_WINDOW_NONE) {
            activeFrame = topLevelOf(connection, active, root);
            const std::optional<QRect> client = rectangleOf(connection, active, root);
            const std::optional<QRect> frame =
                activeFrame == XCB_WINDOW_NONE ? std::nullopt : rectangleOf(connection, activeFrame, root);
            if (client && frame)
                read = ActiveWindowGeometry{*frame, *client};
        }
        std::lock_guard lock(geometryMutex);
        activeGeometry = read;
    }

    std::weak_ptr<Delivery> delivery;
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_window_t activeWindow = XCB_WINDOW_NONE;
    xcb_window_t activeFrame = XCB_WINDOW_NONE;
    mutable std::mutex geometryMutex;
    std::optional<ActiveWindowGeometry> activeGeometry;
    xcb_atom_t activeWindowAtom = XCB_ATOM_NONE;
    xcb_atom_t pidAtom = XCB_ATOM_NONE;
    int wakePipe[2] = {-1, -1};
    std::thread thread;
};

X11FrontmostApplication::X11FrontmostApplication()
    : delivery(std::make_shared<Delivery>()), watcher(std::make_unique<Watcher>(delivery))
{
    if (!watcher->open())
        watcher.reset();
}

X11FrontmostApplication::~X11FrontmostApplication() = default;

std::optional<int64_t> X11FrontmostApplication::processId() const
{
    if (!watcher)
        return std::nullopt;
    const int64_t pid = watcher->processId.load();
    if (pid == unknownProcess)
        return std::nullopt;
    return pid;
}

std::optional<ActiveWindowGeometry> X11FrontmostApplication::windowGeometry() const
{
    return watcher ? watcher->geometry() : std::nullopt;
}

void X11FrontmostApplication::setChangeHandler(std::function<void()> handler)
{
    delivery->handler = std::move(handler);
}
