#pragma once

#include <memory>

class HotkeyTap;
class AccessibilityTrust;
class KeySynthesizer;
class Pasteboard;
class PasteDelivery;
class AudioCapture;
class MicrophonePermission;
class AlertPresenter;
class SpeechRecognizer;
class Workspace;
class Updater;
class TrayIcon;
class FocusSource;
class FrontmostApplication;
class TaskbarVisibility;
class WindowActivation;

// The desktop services the controller works through. The application fills
// it with the Linux implementations; tests fill it with fakes.
struct PlatformServices {
    std::shared_ptr<HotkeyTap> hotkeyTap;
    std::shared_ptr<AccessibilityTrust> accessibilityTrust;
    std::shared_ptr<KeySynthesizer> keySynthesizer;
    std::shared_ptr<Pasteboard> pasteboard;
    // The PRIMARY selection, for the terminals that paste it.
    std::shared_ptr<Pasteboard> primarySelection;
    // None: a target gets a paste's text only while it is on the clipboard.
    std::shared_ptr<PasteDelivery> pasteDelivery;
    std::shared_ptr<AudioCapture> audioCapture;
    std::shared_ptr<MicrophonePermission> microphonePermission;
    std::shared_ptr<AlertPresenter> alertPresenter;
    std::shared_ptr<SpeechRecognizer> speechRecognizer;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Updater> updater;
    // None: the tool runs without a tray icon.
    std::shared_ptr<TrayIcon> trayIcon;
    std::shared_ptr<FocusSource> focusSource;
    std::shared_ptr<FrontmostApplication> frontmostApplication;
    // None: windows keep whatever taskbar entries the desktop gives them.
    std::shared_ptr<TaskbarVisibility> taskbarVisibility;
    // None: a window shown for another start comes forward as the desktop
    // lets it.
    std::shared_ptr<WindowActivation> windowActivation;
};
