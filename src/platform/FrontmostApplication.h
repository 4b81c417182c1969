#pragma once

#include <QRect>

#include <cstdint>
#include <functional>
#include <optional>

// Where the X server shows the active window, in device pixels with the
// origin at the top left of the whole desktop: its frame (with the window
// manager's decoration) and the client area inside it.
struct ActiveWindowGeometry {
    QRect frame;
    QRect client;
};

// The application whose window is active (the one that receives typed keys).
class FrontmostApplication {
public:
    virtual ~FrontmostApplication() = default;

    // Its process id; none when the desktop does not say (no active window,
    // or a window that names no process).
    virtual std::optional<int64_t> processId() const = 0;

    // The active window's rectangles as last seen; never waits. None when
    // no window is active or the desktop does not say.
    virtual std::optional<ActiveWindowGeometry> windowGeometry() const { return std::nullopt; }

    // Called on the main thread whenever another window becomes active
    // (not when the active one moves). One
    // handler at a time; an empty function removes it.
    virtual void setChangeHandler(std::function<void()> handler) = 0;
};
