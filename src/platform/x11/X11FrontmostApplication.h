#pragma once

#include "platform/FrontmostApplication.h"

#include <memory>

// The active application from the window manager's _NET_ACTIVE_WINDOW and
// that window's _NET_WM_PID and rectangles, followed through property and
// structure changes on the root window. A connection and a thread of its own watch the root window, so the
// main thread never waits on the X server.
class X11FrontmostApplication final : public FrontmostApplication {
public:
    // Without a display (or a window manager that names the active window)
    // the process id stays unknown.
    X11FrontmostApplication();
    ~X11FrontmostApplication() override;
    X11FrontmostApplication(const X11FrontmostApplication&) = delete;
    X11FrontmostApplication& operator=(const X11FrontmostApplication&) = delete;

    std::optional<int64_t> processId() const override;
    std::optional<ActiveWindowGeometry> windowGeometry() const override;
    void setChangeHandler(std::function<void()> handler) override;

private:
    class Watcher;
    struct Delivery;

    std::shared_ptr<Delivery> delivery;
    std::unique_ptr<Watcher> watcher;
};
