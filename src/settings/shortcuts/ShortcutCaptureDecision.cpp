#include "settings/shortcuts/ShortcutCaptureDecision.h"

#include "core/input/QtKeyCodes.h"

#include <bit>

namespace {

constexpr uint32_t countedModifiers = KeyboardShortcut::commandFlag | KeyboardShortcut::controlFlag
    | KeyboardShortcut::optionFlag | KeyboardShortcut::shiftFlag;

} // namespace

int ShortcutCaptureDecision::countModifiers(uint32_t flags)
{
    return std::popcount(flags & countedModifiers);
}

std::optional<KeyboardShortcut> ShortcutCaptureDecision::keyPressed(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (QtKeyCodes::modifierFlagForKey(qtKey))
        return std::nullopt;
    const std::optional<uint16_t> keyCode = QtKeyCodes::virtualKeyCode(qtKey, modifiers & Qt::KeypadModifier);
    if (!keyCode) {
        unmappedKeyPressed = true;
        return std::nullopt;
    }
    return KeyboardShortcut{*keyCode, QtKeyCodes::modifierFlags(modifiers)};
}

std::optional<KeyboardShortcut> ShortcutCaptureDecision::keyReleased(int qtKey, Qt::KeyboardModifiers modifiers)
{
    const std::optional<uint32_t> released = QtKeyCodes::modifierFlagForKey(qtKey);
    if (!released)
        return std::nullopt;
    // Whether a release event's modifiers still name the released key
    // differs between platforms; it was held until now either way.
    const uint32_t held = (QtKeyCodes::modifierFlags(modifiers) | *released) & countedModifiers;
    if (unmappedKeyPressed) {
        if ((held & ~*released) == 0)
            unmappedKeyPressed = false;
        return std::nullopt;
    }
    if (countModifiers(held) < 2)
        return std::nullopt;
    return KeyboardShortcut{modifierOnlyKeyCode, held};
}
