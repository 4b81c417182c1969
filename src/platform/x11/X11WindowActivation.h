#pragma once

#include "platform/WindowActivation.h"

// Activation as the startup-notification and window-manager conventions
// ask of an application that shows a window for another start: the
// launcher's id in the window's _NET_STARTUP_ID, the start's time as the
// window's user time and in its _NET_ACTIVE_WINDOW request, and the
// startup sequence's "remove" message. Does nothing without an X11
// connection.
class X11WindowActivation final : public WindowActivation {
public:
    void activate(QWindow* window, const ActivationToken& token) override;
};
