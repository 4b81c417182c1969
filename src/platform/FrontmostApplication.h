#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// The application whose window is active (the one that receives typed keys).
class FrontmostApplication {
public:
    virtual ~FrontmostApplication() = default;

    // Its process id; none when the desktop does not say (no active window,
    // or a window that names no process).
    virtual std::optional<int64_t> processId() const = 0;

    // Called on the main thread whenever another window becomes active. One
    // handler at a time; an empty function removes it.
    virtual void setChangeHandler(std::function<void()> handler) = 0;
};
