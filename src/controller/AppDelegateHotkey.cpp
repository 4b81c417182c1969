// The global shortcuts: arming the tap (or waiting for the permission) and
// turning its events into recordings.
#include "controller/AppDelegate.h"

#include "base/Log.h"
#include "core/input/HotkeyDecision.h"
#include "core/input/KeyboardShortcutManager.h"
#include "core/state/RecordingState.h"
#include "platform/AccessibilityTrust.h"
#include "platform/HotkeyTap.h"

#include <QDateTime>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace {

double secondsSince1970()
{
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

} // namespace

void AppDelegate::setupGlobalHotkey()
{
    if (eventTap)
        return;
    AccessibilityTrust* trust = platformServices.accessibilityTrust.get();
    if (!trust)
        return;

    if (trust->isTrusted()) {
        const std::shared_ptr<HotkeyTap> tap = platformServices.hotkeyTap;
        if (!tap)
            return;
        auto& shortcuts = KeyboardShortcutManager::shared();
        // The tap may outlive this controller: a gone controller passes on.
        QPointer<AppDelegate> self(this);
        const bool created = tap->create(hotkeyGrabs(shortcuts, false), [self](const HotkeyEvent& event) {
            if (!self)
                return HotkeyTap::Disposition::passOn;
            return self->handleGlobalEvent(event) ? HotkeyTap::Disposition::swallow : HotkeyTap::Disposition::passOn;
        });
        if (!created)
            return; // nothing reported; the next call tries again
        eventTap = tap;
        noteTakenShortcuts();
        // Shortcuts edited in Settings take effect at once; Escape is taken
        // while a toggle recording runs. Every start, stop and failure of a
        // recording updates the status icon, so that is when to look.
        const auto refreshGrabs = [this] {
            if (!eventTap)
                return;
            const bool toggleRunning =
                isRecording() && ownedRecordingStateManager->currentState().mode == RecordingMode::toggle;
            eventTap->setGrabs(hotkeyGrabs(KeyboardShortcutManager::shared(), toggleRunning));
            noteTakenShortcuts();
        };
        connect(&shortcuts, &KeyboardShortcutManager::shortcutsChanged, this, refreshGrabs);
        connect(this, &AppDelegate::statusIconNameChanged, this, refreshGrabs);
        return;
    }

    if (!hasAttemptedPermissionRequest) {
        hasAttemptedPermissionRequest = true;
        trust->requestTrust();
    }
    if (permissionCheckTimer) {
        permissionCheckTimer->stop();
        permissionCheckTimer->deleteLater();
    }
    auto* timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("permissionCheckTimer"));
    timer->setInterval(static_cast<int>(permissionCheckInterval * 1000));
    connect(timer, &QTimer::timeout, this, [this, timer] {
        if (!platformServices.accessibilityTrust->isTrusted())
            return; // the poll has no limit
        timer->stop();
        timer->deleteLater();
        if (permissionCheckTimer == timer)
            permissionCheckTimer = nullptr;
        setupGlobalHotkey();
    });
    permissionCheckTimer = timer;
    timer->start();
}

bool AppDelegate::handleGlobalEvent(const HotkeyEvent& event)
{
    // Recovers a tap that was switched off behind our back.
    if (eventTap && !eventTap->isEnabled())
        eventTap->setEnabled(true);

    // A held key repeats its key-down until its key-up. A key pressed during
    // another key's grab may come up after that grab has ended, unseen: the
    // mark ends with the grab, or that key's next press would pass for a
    // repeat.
    const bool isAutoRepeat = event.type == HotkeyEvent::Type::keyDown && heldKeyCode == event.keyCode;
    if (event.type == HotkeyEvent::Type::keyDown)
        heldKeyCode = event.keyCode;
    else if (event.type == HotkeyEvent::Type::keyUp && (heldKeyCode == event.keyCode || event.endsGrab))
        heldKeyCode.reset();

    const RecordingState state = ownedRecordingStateManager->currentState();
    const HotkeyContext context{
        isRecording(), state.mode, secondsSince1970(), lastToggleTime, toggleDebounceInterval, isAutoRepeat};
    const HotkeyDecision decision = decideHotkeyEvent(event, context, KeyboardShortcutManager::shared());

    QPointer<AppDelegate> self(this);
    const auto begin = [&](RecordingMode mode) {
        ownedRecordingStateManager->startRecording(mode);
        // The indicator appears after this event has been answered.
        Dispatch::main().async([self] {
            if (self)
                self->showFocusIndicator();
        });
        startRecording();
    };

    switch (decision.command) {
    case HotkeyCommand::none:
        break;
    case HotkeyCommand::startPushToTalk:
        begin(RecordingMode::pushToTalk);
        break;
    case HotkeyCommand::startToggle:
        begin(RecordingMode::toggle);
        break;
    case HotkeyCommand::stopAndTranscribe:
        stopRecordingAndTranscribe();
        break;
    case HotkeyCommand::cancel:
        cancelRecording();
        break;
    }
    if (decision.renewToggleTime)
        lastToggleTime = context.now;

    return decision.swallow && consumeHotkeyEvents;
}

void AppDelegate::setGlobalShortcutsSuspended(bool suspended)
{
    // Released grabs let the captured keys reach the Settings window. A key
    // let go meanwhile sends its key-up there, so none is taken as held.
    heldKeyCode.reset();
    if (!eventTap)
        return;
    eventTap->setEnabled(!suspended);
    if (!suspended)
        noteTakenShortcuts();
}

void AppDelegate::noteTakenShortcuts()
{
    // A suspended tap holds nothing, so it has nothing to say.
    if (!eventTap || !eventTap->isEnabled())
        return;
    const std::vector<HotkeyGrab> refused = eventTap->refusedGrabs();
    QList<KeyboardShortcut> taken;
    for (const ShortcutAction action : ShortcutAction::allCases()) {
        const KeyboardShortcut shortcut = KeyboardShortcutManager::shared().shortcut(action);
        const HotkeyGrab grab{shortcut.keyCode, shortcut.modifierFlags};
        if (std::find(refused.begin(), refused.end(), grab) != refused.end() && !taken.contains(shortcut))
            taken.append(shortcut);
    }
    for (const KeyboardShortcut& shortcut : takenShortcuts.update(taken))
        announceTakenShortcut(shortcut);
}

bool AppDelegate::refuseTakenShortcut(const KeyboardShortcut& shortcut)
{
    if (!eventTap || !eventTap->isHeldByAnotherProgram(HotkeyGrab{shortcut.keyCode, shortcut.modifierFlags}))
        return false;
    announceTakenShortcut(shortcut);
    return true;
}

bool AppDelegate::isShortcutTaken(const KeyboardShortcut& shortcut) const
{
    return takenShortcuts.contains(shortcut);
}

void AppDelegate::announceTakenShortcut(const KeyboardShortcut& shortcut)
{
    Log::system(QStringLiteral("[AppDelegate] The shortcut %1 cannot be used: another program holds it (the X "
                               "server refused its key grab)")
                    .arg(shortcut.displayString()));
    // After the key event or the set-up that found it has been answered.
    QPointer<AppDelegate> weak(this);
    Dispatch::main().async([weak, alert = TakenShortcuts::alertFor(shortcut)] {
        if (weak && weak->platformServices.alertPresenter)
            weak->platformServices.alertPresenter->runModal(alert);
    });
}
