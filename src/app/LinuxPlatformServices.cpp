#include "app/LinuxPlatformServices.h"

#include "platform/MicrophonePermission.h"
#include "platform/atspi/AtspiFocusSource.h"
#include "platform/audio/PulseAudioCapture.h"
#include "platform/qt/DesktopWorkspace.h"
#include "platform/qt/QtAlertPresenter.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/qt/QtTrayIcon.h"
#include "platform/sphinx/PocketSphinxRecognizer.h"
#include "platform/update/FeedUpdater.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11FrontmostApplication.h"
#include "platform/x11/X11HotkeyTap.h"
#include "platform/x11/X11KeySynthesizer.h"
#include "platform/x11/X11PasteDelivery.h"
#include "platform/x11/X11TaskbarVisibility.h"
#include "platform/x11/X11WindowActivation.h"

#include <QLocale>

PlatformServices makeLinuxPlatformServices()
{
    PlatformServices services;
    services.hotkeyTap = std::make_shared<X11HotkeyTap>();
    services.accessibilityTrust = std::make_shared<X11AccessibilityTrust>();
    auto keySynthesizer = std::make_shared<X11KeySynthesizer>();
    // Only the one running Tallowind gets here: no chord of another is under way.
    keySynthesizer->repairCutShortChord();
    services.keySynthesizer = keySynthesizer;
    services.pasteboard = std::make_shared<QtPasteboard>();
    services.primarySelection = std::make_shared<QtPasteboard>(QClipboard::Selection);
    services.pasteDelivery = std::make_shared<X11PasteDelivery>();
    services.audioCapture = std::make_shared<PulseAudioCapture>();
    services.microphonePermission = std::make_shared<AlwaysAuthorizedMicrophone>();
    services.alertPresenter = std::make_shared<QtAlertPresenter>();
    services.workspace = std::make_shared<DesktopWorkspace>();
    services.trayIcon = std::make_shared<QtTrayIcon>();
    services.updater = std::make_shared<FeedUpdater>(
        FeedUpdater::configuredFeedAddress(), FeedUpdater::buildVersion(), services.alertPresenter, services.workspace);
    services.speechRecognizer = PocketSphinxRecognizer::forLocale(QLocale::system());
    // Both listen from the start: the field the user was in must be known
    // before a shortcut's grab makes its toolkit drop the focus.
    services.focusSource = std::make_shared<AtspiFocusSource>();
    services.frontmostApplication = std::make_shared<X11FrontmostApplication>();
    services.taskbarVisibility = std::make_shared<X11TaskbarVisibility>();
    services.windowActivation = std::make_shared<X11WindowActivation>();
    return services;
}
