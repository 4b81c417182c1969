#pragma once

#include "platform/PlatformServices.h"

// The desktop services of a Linux (X11) session.
PlatformServices makeLinuxPlatformServices();
