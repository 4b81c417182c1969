#pragma once

#include "platform/DesktopCompositor.h"

#include <memory>

// A compositing manager owns the _NET_WM_CM_S<screen> selection of the
// screen it composites. A connection of our own hears (XFixes) whenever that
// selection changes hands; its events are read on the thread that builds
// this object, which must run a Qt event loop.
class X11DesktopCompositor final : public DesktopCompositor {
public:
    X11DesktopCompositor();
    ~X11DesktopCompositor() override;

    bool isCompositing() override;
    void setChangeHandler(std::function<void()> handler) override;

private:
    struct Connection;
    std::unique_ptr<Connection> connection;
};
