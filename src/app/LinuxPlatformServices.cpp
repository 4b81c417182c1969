#include "app/LinuxPlatformServices.h"

#include "platform/MicrophonePermission.h"
#include "platform/audio/QtAudioCapture.h"
#include "platform/qt/DesktopWorkspace.h"
#include "platform/qt/QtAlertPresenter.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/sphinx/PocketSphinxRecognizer.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11HotkeyTap.h"
#include "platform/x11/X11KeySynthesizer.h"

#include <QLocale>

PlatformServices makeLinuxPlatformServices()
{
    PlatformServices services;
    services.hotkeyTap = std::make_shared<X11HotkeyTap>();
    services.accessibilityTrust = std::make_shared<X11AccessibilityTrust>();
    services.keySynthesizer = std::make_shared<X11KeySynthesizer>();
    services.pasteboard = std::make_shared<QtPasteboard>();
    services.audioCapture = std::make_shared<QtAudioCapture>();
    services.microphonePermission = std::make_shared<AlwaysAuthorizedMicrophone>();
    services.alertPresenter = std::make_shared<QtAlertPresenter>();
    services.workspace = std::make_shared<DesktopWorkspace>();
    services.speechRecognizer = PocketSphinxRecognizer::forLocale(QLocale::system());
    return services;
}
