#pragma once

#include <cstdint>
#include <optional>

// Translation between the stored shortcut encoding (ANSI-layout virtual key
// codes and device-independent modifier bits) and X11 keysyms and modifier
// masks. This is the only place that knows both encodings.
namespace X11KeyCodes {

inline constexpr uint32_t flagCapsLock = 0x10000;
inline constexpr uint32_t flagShift = 0x20000;
inline constexpr uint32_t flagControl = 0x40000;
inline constexpr uint32_t flagOption = 0x80000;
inline constexpr uint32_t flagCommand = 0x100000;

// The keysym of the key at a virtual key code, 0 (NoSymbol) when unmapped.
unsigned long keysymForKeyCode(uint16_t keyCode);
// The virtual key code of a keysym. Letters are found in either case.
std::optional<uint16_t> keyCodeForKeysym(unsigned long keysym);

// X modifier mask for device-independent modifier flags (Option = Mod1,
// Command = Mod4, Caps = Lock); bits without an equivalent are dropped.
unsigned int x11ModifierMask(uint32_t modifierFlags);
// The reverse; NumLock (Mod2), Mod3, Mod5 and pointer buttons are dropped.
uint32_t modifierFlagsForX11State(unsigned int state);

// For the keysym of a modifier key (Shift_L, Alt_R, Super_L, Caps_Lock, ...)
// the flag it contributes; nothing for any other key.
std::optional<uint32_t> modifierFlagForKeysym(unsigned long keysym);

} // namespace X11KeyCodes
