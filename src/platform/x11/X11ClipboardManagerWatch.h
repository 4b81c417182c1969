#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

typedef struct xcb_connection_t xcb_connection_t;

// The clipboard manager and the hand-over's bound, watched from a thread and
// an X connection of its own: the main thread's events cannot delay either
// (a modal alert's loop run inside the wait would never give the hand-over's
// own loop back).
class X11ClipboardManagerWatch {
public:
    // `managerWindow` owns CLIPBOARD_MANAGER. Once `bound` has passed without
    // finish(), logs so and runs `overdue` on the watch's thread; the quit
    // ends the process there.
    X11ClipboardManagerWatch(uint32_t managerWindow, std::chrono::milliseconds bound, std::function<void()> overdue);
    ~X11ClipboardManagerWatch();
    X11ClipboardManagerWatch(const X11ClipboardManagerWatch&) = delete;
    X11ClipboardManagerWatch& operator=(const X11ClipboardManagerWatch&) = delete;

    // The manager's window is gone (it ended, or crashed mid-transfer). The
    // main thread is woken when it goes.
    bool managerGone() const { return gone; }
    // The bound has passed and `overdue` has run.
    bool overdue() const { return overdueRan; }
    // Ends the watch. False when the bound came first: `overdue` has run
    // then (it returns only in tests).
    bool finish();

private:
    void run(std::chrono::milliseconds bound);
    // Watches the manager's window for its end; false when it has none.
    bool watchWindow(uint32_t managerWindow);
    void wakeMainThread();

    xcb_connection_t* connection = nullptr;
    std::function<void()> onOverdue;
    std::atomic<bool> gone{false};
    std::atomic<bool> overdueRan{false};
    // Whichever of finish() and the bound comes first takes it.
    std::atomic<bool> settled{false};
    int wakePipe[2] = {-1, -1};
    std::thread thread;
};
