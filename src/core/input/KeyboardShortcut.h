#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>

#include <compare>
#include <cstdint>
#include <optional>

// One key combination in the stored encoding: a virtual key code of the ANSI
// layout (W = 13) and the device-independent modifier bits that must be down.
struct KeyboardShortcut {
    static constexpr uint32_t capsLockFlag = 0x10000;
    static constexpr uint32_t shiftFlag = 0x20000;
    static constexpr uint32_t controlFlag = 0x40000;
    static constexpr uint32_t optionFlag = 0x80000;
    static constexpr uint32_t commandFlag = 0x100000;
    // The part of an event's flags that a shortcut is compared against.
    static constexpr uint64_t deviceIndependentFlagsMask = 0xFFFF0000;

    uint16_t keyCode = 0;
    uint32_t modifierFlags = 0;

    static constexpr KeyboardShortcut withModifiers(
        uint16_t keyCode, bool option = false, bool command = false, bool shift = false, bool control = false)
    {
        return {keyCode,
            (option ? optionFlag : 0u) | (command ? commandFlag : 0u) | (shift ? shiftFlag : 0u)
                | (control ? controlFlag : 0u)};
    }

    // The names this desktop gives the modifiers, in the fixed order Ctrl,
    // Alt, Shift, Super, then the key's name when it has one, joined with "+"
    // ("Alt+Shift+W"); Caps Lock shows nothing.
    QString displayString() const;

    // Exact match of key code and of every device-independent modifier bit,
    // Caps Lock included.
    constexpr bool matches(uint16_t eventKeyCode, uint64_t eventFlags) const
    {
        return eventKeyCode == keyCode && (eventFlags & deviceIndependentFlagsMask) == modifierFlags;
    }

    friend constexpr bool operator==(const KeyboardShortcut&, const KeyboardShortcut&) = default;
};

// The name shown for a key code, or nothing for keys without one.
std::optional<QString> keyName(uint16_t keyCode);

// The three things a shortcut can trigger. The raw value is the stored name.
class ShortcutAction {
public:
    enum Case { quickTranscribe, quickTranscribeWithWindow, continuousRecording };

    constexpr ShortcutAction(Case value) : actionCase(value) { }

    static std::optional<ShortcutAction> fromRawValue(const QString& rawValue);
    // Declaration order.
    static QList<ShortcutAction> allCases();

    constexpr Case value() const { return actionCase; }
    QString rawValue() const;
    QString displayName() const;
    // Alt+W, Alt+Shift+W and Alt+Super+W.
    KeyboardShortcut defaultShortcut() const;

    friend constexpr bool operator==(ShortcutAction, ShortcutAction) = default;
    friend constexpr auto operator<=>(ShortcutAction, ShortcutAction) = default;

private:
    Case actionCase;
};

inline size_t qHash(ShortcutAction action, size_t seed = 0) noexcept
{
    return qHash(static_cast<int>(action.value()), seed);
}
