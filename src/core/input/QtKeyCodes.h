#pragma once

#include <Qt>

#include <cstdint>
#include <optional>

// Translation from Qt's key events to the stored shortcut encoding (ANSI-layout
// virtual key codes and device-independent modifier bits), for controls that
// capture a shortcut inside the application window.
namespace QtKeyCodes {

// The virtual key code of a Qt key. `keypad` is whether the event carried
// Qt::KeypadModifier. The shifted symbols of the US layout (! @ # ...) give
// the code of the key they are printed on, so Shift+1 is 1 with Shift.
// Nothing for keys the encoding has no code for.
std::optional<uint16_t> virtualKeyCode(int qtKey, bool keypad = false);

// For a modifier key (Shift, Control, Alt, Meta/Super, Caps Lock) the flag it
// contributes; nothing for any other key.
std::optional<uint32_t> modifierFlagForKey(int qtKey);

// Shift, Control, Alt and Meta (Super on X11) as Shift, Control, Option and
// Command; the keypad and group-switch bits are dropped.
uint32_t modifierFlags(Qt::KeyboardModifiers modifiers);

} // namespace QtKeyCodes
