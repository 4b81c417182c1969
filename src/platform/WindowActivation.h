#pragma once

#include <QByteArray>

#include <cstdint>

class QWindow;

// What a start that the user made hands the running Tallowind, so that the
// window it shows comes to the front although the user worked in another
// application until then: desktops that prevent focus stealing compare the
// time of the request with the time of the user's last input elsewhere.
struct ActivationToken {
    // The launcher's startup-notification id; empty when the start had none.
    QByteArray startupId;
    // The display server's time of the start; 0 when unknown.
    uint32_t time = 0;

    bool isEmpty() const { return startupId.isEmpty() && time == 0; }
    bool operator==(const ActivationToken&) const = default;
};

// Brings one of our windows to the front on behalf of a start.
class WindowActivation {
public:
    virtual ~WindowActivation() = default;
    // `window` has just been shown or brought forward; it becomes the active
    // window as of the start's time, and the launcher's startup feedback for
    // the start ends.
    virtual void activate(QWindow* window, const ActivationToken& token) = 0;
};
