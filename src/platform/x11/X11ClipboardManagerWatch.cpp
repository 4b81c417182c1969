#include "platform/x11/X11ClipboardManagerWatch.h"

#include "base/Dispatch.h"
#include "base/Log.h"
#include "platform/x11/X11DisplayLoss.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

X11ClipboardManagerWatch::X11ClipboardManagerWatch(
    uint32_t managerWindow, std::chrono::milliseconds bound, std::function<void()> overdue)
    : onOverdue(std::move(overdue))
{
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        wakePipe[0] = wakePipe[1] = -1;
    connection = xcb_connect(nullptr, nullptr);
    if (!watchWindow(managerWindow))
        gone = true;
    thread = std::thread([this, bound] { run(bound); });
}

X11ClipboardManagerWatch::~X11ClipboardManagerWatch()
{
    finish();
    xcb_disconnect(connection);
    for (int fd : wakePipe)
        if (fd >= 0)
            close(fd);
}

bool X11ClipboardManagerWatch::watchWindow(uint32_t managerWindow)
{
    if (xcb_connection_has_error(connection))
        return true; // Not watched, but the bound still holds.
    // Checked: a manager that ended before this has no window to watch.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_generic_error_t* error = xcb_request_check(
        connection, xcb_change_window_attributes_checked(connection, managerWindow, XCB_CW_EVENT_MASK, &mask));
    const bool exists = error == nullptr;
    std::free(error);
    return exists;
}

bool X11ClipboardManagerWatch::finish()
{
    const bool first = !settled.exchange(true);
    if (thread.joinable()) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(wakePipe[1], &byte, 1);
        thread.join();
    }
    return first;
}

void X11ClipboardManagerWatch::wakeMainThread()
{
    Dispatch::main().async([] { });
}

void X11ClipboardManagerWatch::run(std::chrono::milliseconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    bool reading = !xcb_connection_has_error(connection) && !gone;
    for (;;) {
        while (reading) {
            xcb_generic_event_t* event = xcb_poll_for_event(connection);
            if (!event)
                break;
            // The only window this connection watches.
            if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY)
                gone = true;
            std::free(event);
        }
        if (reading && xcb_connection_has_error(connection)) {
            // The server is gone: the quit ends the process without waiting.
            X11DisplayLoss::report();
            reading = false;
        }
        if (reading && gone) {
            wakeMainThread();
            reading = false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {reading ? xcb_get_file_descriptor(connection) : -1, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left.count())) > 0 && fds[0].revents != 0)
            return;
    }
    if (settled.exchange(true))
        return;
    Log::system(QStringLiteral("[X11ClipboardHandOver] The clipboard manager did not take the clipboard within %1 ms; "
                               "it ends with Tallowind")
                    .arg(bound.count()));
    overdueRan = true;
    if (onOverdue)
        onOverdue();
    wakeMainThread();
}
