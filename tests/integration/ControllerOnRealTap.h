#pragma once

#include "base/Dispatch.h"
#include "controller/AppDelegate.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11HotkeyTap.h"
#include "support/FakeAlertPresenter.h"
#include "support/FakeAudioCapture.h"
#include "support/FakeKeySynthesizer.h"
#include "support/FakeMicrophonePermission.h"
#include "support/FakePasteboard.h"
#include "support/FakeSpeechRecognizer.h"
#include "support/FakeWorkspace.h"

#include <memory>

// The controller on the real X11 tap, with the other desktop services faked
// unless given: what a person holding or toggling the shortcuts gets. Its
// shortcuts are armed.
inline std::unique_ptr<AppDelegate> controllerOnRealTap(std::shared_ptr<X11HotkeyTap> tap,
    std::shared_ptr<FakeAudioCapture> capture,
    std::shared_ptr<KeySynthesizer> keys = std::make_shared<FakeKeySynthesizer>(),
    std::shared_ptr<Pasteboard> pasteboard = std::make_shared<FakePasteboard>())
{
    PlatformServices services;
    services.hotkeyTap = std::move(tap);
    services.accessibilityTrust = std::make_shared<X11AccessibilityTrust>();
    services.keySynthesizer = std::move(keys);
    services.pasteboard = std::move(pasteboard);
    services.audioCapture = std::move(capture);
    services.microphonePermission = std::make_shared<FakeMicrophonePermission>();
    services.alertPresenter = std::make_shared<FakeAlertPresenter>();
    services.speechRecognizer = std::make_shared<FakeSpeechRecognizer>();
    services.workspace = std::make_shared<FakeWorkspace>();
    auto controller = std::make_unique<AppDelegate>(services);
    controller->setupGlobalHotkey();
    return controller;
}

// Lets the controller's queued work run out, then lets it go.
inline void releaseController(std::unique_ptr<AppDelegate>& controller)
{
    Dispatch::drainMainQueue(3000, true);
    controller.reset();
    Dispatch::drainMainQueue(1000);
}
