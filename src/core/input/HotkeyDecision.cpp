#include "core/input/HotkeyDecision.h"

#include "core/config/AppConfig.h"
#include "core/input/KeyboardShortcutManager.h"

#include <algorithm>

namespace {

// Times read from the wall clock as doubles carry rounding noise: 0.3 s
// apart can compute as 0.29999999999. "Exactly the interval" must pass.
constexpr double timeTolerance = 1e-6;

// A lock key is a state of the keyboard, not part of a combination: with
// Caps Lock on, Alt+W is still Alt+W (the tap grabs it either way).
constexpr uint32_t lockFlags = KeyboardShortcut::capsLockFlag;

std::optional<ShortcutAction> matchingAction(const HotkeyEvent& event, const KeyboardShortcutManager& shortcuts)
{
    const auto held = static_cast<uint32_t>(event.modifierFlags & KeyboardShortcut::deviceIndependentFlagsMask);
    for (ShortcutAction action : ShortcutAction::allCases()) {
        const KeyboardShortcut shortcut = shortcuts.shortcut(action);
        if (shortcut.keyCode == event.keyCode && (held & ~lockFlags) == (shortcut.modifierFlags & ~lockFlags))
            return action;
    }
    return std::nullopt;
}

HotkeyDecision swallowOnly()
{
    return {HotkeyCommand::none, true, false};
}

HotkeyDecision keyDown(const HotkeyEvent& event, const HotkeyContext& context, const KeyboardShortcutManager& shortcuts)
{
    const bool toggleRunning = context.isRecording && context.mode == RecordingMode::toggle;
    // Escape cancels a toggle recording, whatever it would otherwise match.
    if (event.keyCode == AppConfig::vkEscape && toggleRunning)
        return {HotkeyCommand::cancel, true, false};

    const auto action = matchingAction(event, shortcuts);
    if (!action)
        return {};

    // A held shortcut is one press: its repeats start nothing, also when the
    // press itself could not start a recording, and toggle nothing either.
    if (context.isAutoRepeat && action->value() != ShortcutAction::quickTranscribeWithWindow)
        return swallowOnly();

    switch (action->value()) {
    case ShortcutAction::quickTranscribe:
        if (context.isRecording)
            return swallowOnly();
        return {HotkeyCommand::startPushToTalk, true, false};
    case ShortcutAction::quickTranscribeWithWindow:
        return swallowOnly();
    case ShortcutAction::continuousRecording:
        if (context.now - context.lastToggleTime < context.toggleDebounceInterval - timeTolerance)
            return swallowOnly();
        if (!context.isRecording)
            return {HotkeyCommand::startToggle, true, true};
        if (context.mode == RecordingMode::toggle)
            return {HotkeyCommand::stopAndTranscribe, true, true};
        return swallowOnly(); // a push-to-talk or studio recording runs
    }
    return {};
}

} // namespace

HotkeyDecision decideHotkeyEvent(
    const HotkeyEvent& event, const HotkeyContext& context, const KeyboardShortcutManager& shortcuts)
{
    const bool pushToTalkRunning = context.isRecording && context.mode == RecordingMode::pushToTalk;
    const KeyboardShortcut pushToTalk = shortcuts.shortcut(ShortcutAction::quickTranscribe);

    switch (event.type) {
    case HotkeyEvent::Type::keyDown:
        return keyDown(event, context, shortcuts);
    case HotkeyEvent::Type::keyUp:
        // Matched by key code alone: when the modifier went up first, the
        // key's release carries no modifier bits any more.
        if (pushToTalkRunning && event.keyCode == pushToTalk.keyCode)
            return {HotkeyCommand::stopAndTranscribe, true, false};
        return {};
    case HotkeyEvent::Type::flagsChanged: {
        // Letting go of a required modifier while the key is still down ends
        // push-to-talk as well. Modifier changes themselves are never taken.
        const uint32_t held = static_cast<uint32_t>(event.modifierFlags & KeyboardShortcut::deviceIndependentFlagsMask);
        const uint32_t required = pushToTalk.modifierFlags & ~lockFlags;
        if (pushToTalkRunning && (held & required) != required)
            return {HotkeyCommand::stopAndTranscribe, false, false};
        return {};
    }
    }
    return {};
}

std::vector<HotkeyGrab> hotkeyGrabs(const KeyboardShortcutManager& shortcuts, bool includeEscape)
{
    std::vector<HotkeyGrab> grabs;
    for (ShortcutAction action : ShortcutAction::allCases()) {
        const KeyboardShortcut shortcut = shortcuts.shortcut(action);
        const HotkeyGrab grab{shortcut.keyCode, shortcut.modifierFlags};
        if (std::find(grabs.begin(), grabs.end(), grab) == grabs.end())
            grabs.push_back(grab);
    }
    if (includeEscape) {
        const HotkeyGrab escape{AppConfig::vkEscape, 0};
        if (std::find(grabs.begin(), grabs.end(), escape) == grabs.end())
            grabs.push_back(escape);
    }
    return grabs;
}
