#include "app/LinuxPlatformServices.h"

#include "platform/X11AccessibilityTrust.h"
#include "platform/X11HotkeyTap.h"

PlatformServices makeLinuxPlatformServices()
{
    PlatformServices services;
    services.hotkeyTap = std::make_shared<X11HotkeyTap>();
    services.accessibilityTrust = std::make_shared<X11AccessibilityTrust>();
    return services;
}
