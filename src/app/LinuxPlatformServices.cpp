#include "app/LinuxPlatformServices.h"

#include "platform/X11AccessibilityTrust.h"
#include "platform/X11HotkeyTap.h"

// The other services join as their implementations land in the tree.
#if __has_include("platform/X11KeySynthesizer.h") && __has_include("platform/QtPasteboard.h")
#include "platform/QtPasteboard.h"
#include "platform/X11KeySynthesizer.h"
#define TALLOWIND_HAS_INSERTION_SERVICES 1
#endif
#if __has_include("platform/QtAudioCapture.h") && __has_include("platform/QtAlertPresenter.h")
#include "platform/DesktopWorkspace.h"
#include "platform/MicrophonePermission.h"
#include "platform/QtAlertPresenter.h"
#include "platform/QtAudioCapture.h"
#define TALLOWIND_HAS_CAPTURE_SERVICES 1
#endif
#if __has_include("platform/PocketSphinxRecognizer.h")
#include "platform/PocketSphinxRecognizer.h"
#include <QLocale>
#define TALLOWIND_HAS_RECOGNIZER 1
#endif

PlatformServices makeLinuxPlatformServices()
{
    PlatformServices services;
    services.hotkeyTap = std::make_shared<X11HotkeyTap>();
    services.accessibilityTrust = std::make_shared<X11AccessibilityTrust>();
#ifdef TALLOWIND_HAS_INSERTION_SERVICES
    services.keySynthesizer = std::make_shared<X11KeySynthesizer>();
    services.pasteboard = std::make_shared<QtPasteboard>();
#endif
#ifdef TALLOWIND_HAS_CAPTURE_SERVICES
    services.audioCapture = std::make_shared<QtAudioCapture>();
    services.microphonePermission = std::make_shared<AlwaysAuthorizedMicrophone>();
    services.alertPresenter = std::make_shared<QtAlertPresenter>();
    services.workspace = std::make_shared<DesktopWorkspace>();
#endif
#ifdef TALLOWIND_HAS_RECOGNIZER
    services.speechRecognizer = PocketSphinxRecognizer::forLocale(QLocale::system());
#endif
    return services;
}
