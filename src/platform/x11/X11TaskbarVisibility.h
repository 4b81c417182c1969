#pragma once

#include "platform/TaskbarVisibility.h"

// The window states _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER:
// asked of the window manager for a shown window (mapped, or on its way),
// written into the window's own state for a withdrawn one (the window
// manager reads it when the window is mapped). Does nothing without an X11
// connection.
class X11TaskbarVisibility final : public TaskbarVisibility {
public:
    void setSkipsTaskbar(QWindow* window, bool skip) override;
};
