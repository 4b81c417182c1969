#pragma once

#include "core/input/KeyboardShortcut.h"

#include <Qt>

#include <optional>

// Decides, key event by key event, when an armed capture has its shortcut:
// - a key press completes it with the modifiers held (Alt+Shift+W included);
// - modifier keys alone complete it when two or more of Shift, Control,
//   Alt and Super were held together and one of them is released without a
//   key having been pressed: key code 0xFFFF with those modifiers;
// - keys the stored encoding has no code for are ignored, and modifiers held
//   with such a key make no modifier-only shortcut.
class ShortcutCaptureDecision {
public:
    static constexpr uint16_t modifierOnlyKeyCode = 0xFFFF;

    std::optional<KeyboardShortcut> keyPressed(int qtKey, Qt::KeyboardModifiers modifiers);
    std::optional<KeyboardShortcut> keyReleased(int qtKey, Qt::KeyboardModifiers modifiers);

    // How many of Command, Control, Option and Shift are set.
    static int countModifiers(uint32_t flags);

private:
    bool unmappedKeyPressed = false;
};
