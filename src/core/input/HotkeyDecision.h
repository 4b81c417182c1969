#pragma once

#include "core/state/RecordingState.h"
#include "platform/HotkeyTap.h"

#include <vector>

class KeyboardShortcutManager;

// What the global hotkey handler does with one keyboard event. Kept apart
// from the controller so the rules can be read, and tested, in one place.
enum class HotkeyCommand { none, startPushToTalk, startToggle, stopAndTranscribe, cancel };

struct HotkeyDecision {
    HotkeyCommand command = HotkeyCommand::none;
    // Taken from the event stream rather than passed on.
    bool swallow = false;
    // The toggle was accepted: its time becomes the new debounce reference.
    bool renewToggleTime = false;
};

// The controller's state at the moment the event arrives.
struct HotkeyContext {
    bool isRecording = false;
    RecordingMode mode = RecordingMode::pushToTalk;
    double now = 0; // seconds since 1970
    double lastToggleTime = 0; // 0 lets the first toggle through
    double toggleDebounceInterval = 0.3;
    // The key went down before and has not come up since: a held key's
    // auto-repeat, not a new press.
    bool isAutoRepeat = false;
};

HotkeyDecision decideHotkeyEvent(
    const HotkeyEvent& event, const HotkeyContext& context, const KeyboardShortcutManager& shortcuts);

// The combinations the tap must hold: the three actions' shortcuts, and
// Escape while a toggle-mode recording runs (so it can cancel it; at any
// other time Escape is left alone).
std::vector<HotkeyGrab> hotkeyGrabs(const KeyboardShortcutManager& shortcuts, bool includeEscape);
