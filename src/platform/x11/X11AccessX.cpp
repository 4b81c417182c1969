#include "platform/x11/X11AccessX.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <algorithm>

namespace {

// Past the server's own delay, so that its timer and ours never race.
constexpr std::chrono::milliseconds margin{30};

} // namespace

X11AccessX X11AccessX::read(Display* display)
{
    X11AccessX controls;
    XkbDescPtr keyboard = XkbAllocKeyboard();
    if (!keyboard)
        return controls;
    keyboard->device_spec = XkbUseCoreKbd;
    if (XkbGetControls(display, XkbAllControlsMask, keyboard) == Success && keyboard->ctrls) {
        const XkbControlsRec& in = *keyboard->ctrls;
        if ((in.enabled_ctrls & XkbSlowKeysMask) != 0)
            controls.slowKeysDelay = Milliseconds(in.slow_keys_delay);
        if ((in.enabled_ctrls & XkbBounceKeysMask) != 0)
            controls.debounceDelay = Milliseconds(in.debounce_delay);
        if ((in.enabled_ctrls & XkbRepeatKeysMask) != 0)
            controls.repeatDelay = Milliseconds(std::max<int>(in.repeat_delay, 1));
    }
    XkbFreeKeyboard(keyboard, XkbAllComponentsMask, True);
    return controls;
}

X11AccessX::Milliseconds X11AccessX::keyHold() const
{
    if (slowKeysDelay.count() == 0)
        return Milliseconds(0);
    // Repeat counts from the moment Slow Keys takes the key.
    const Milliseconds past = repeatDelay.count() > 0 ? std::min(margin, repeatDelay / 2) : margin;
    return slowKeysDelay + past;
}

X11AccessX::Milliseconds X11AccessX::sameKeySpacing() const
{
    return debounceDelay.count() == 0 ? Milliseconds(0) : debounceDelay + margin;
}
