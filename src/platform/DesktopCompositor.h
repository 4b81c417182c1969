#pragma once

#include <functional>

// Whether a compositing manager runs on the desktop, i.e. whether windows
// can be translucent.
class DesktopCompositor {
public:
    virtual ~DesktopCompositor() = default;

    virtual bool isCompositing() = 0;

    // Called on the main thread when a compositing manager may have started
    // or stopped: ask isCompositing() again. One handler at a time; an empty
    // function removes it.
    virtual void setChangeHandler(std::function<void()> handler) = 0;
};
