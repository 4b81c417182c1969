#pragma once

#include "platform/WindowActivation.h"

// The token a start hands the running Tallowind on X11: the launcher's
// startup-notification id with the time it carries, or, without one, a time
// the start takes from the X server itself.
namespace X11StartToken {

// The time in a startup id's "_TIME<n>" part; 0 when it has none.
uint32_t timeIn(const QByteArray& startupId);

// `launcherStartupId` is DESKTOP_STARTUP_ID as the process found it: read it
// before Qt connects to the display, which takes it away.
ActivationToken forThisStart(const QByteArray& launcherStartupId);

} // namespace X11StartToken
