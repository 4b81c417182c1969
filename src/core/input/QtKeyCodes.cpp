#include "core/input/QtKeyCodes.h"

#include "core/input/KeyboardShortcut.h"

#include <QHash>

namespace QtKeyCodes {
namespace {

// ANSI layout, in the order of the virtual key codes. Shifted symbols follow
// the key they are printed on.
const QHash<int, uint16_t>& mainKeys()
{
    static const QHash<int, uint16_t> table{
        {Qt::Key_A, 0},
        {Qt::Key_S, 1},
        {Qt::Key_D, 2},
        {Qt::Key_F, 3},
        {Qt::Key_H, 4},
        {Qt::Key_G, 5},
        {Qt::Key_Z, 6},
        {Qt::Key_X, 7},
        {Qt::Key_C, 8},
        {Qt::Key_V, 9},
        {Qt::Key_B, 11},
        {Qt::Key_Q, 12},
        {Qt::Key_W, 13},
        {Qt::Key_E, 14},
        {Qt::Key_R, 15},
        {Qt::Key_Y, 16},
        {Qt::Key_T, 17},
        {Qt::Key_1, 18},
        {Qt::Key_2, 19},
        {Qt::Key_3, 20},
        {Qt::Key_4, 21},
        {Qt::Key_6, 22},
        {Qt::Key_5, 23},
        {Qt::Key_Equal, 24},
        {Qt::Key_9, 25},
        {Qt::Key_7, 26},
        {Qt::Key_Minus, 27},
        {Qt::Key_8, 28},
        {Qt::Key_0, 29},
        {Qt::Key_BracketRight, 30},
        {Qt::Key_O, 31},
        {Qt::Key_U, 32},
        {Qt::Key_BracketLeft, 33},
        {Qt::Key_I, 34},
        {Qt::Key_P, 35},
        {Qt::Key_Return, 36},
        {Qt::Key_L, 37},
        {Qt::Key_J, 38},
        {Qt::Key_Apostrophe, 39},
        {Qt::Key_K, 40},
        {Qt::Key_Semicolon, 41},
        {Qt::Key_Backslash, 42},
        {Qt::Key_Comma, 43},
        {Qt::Key_Slash, 44},
        {Qt::Key_N, 45},
        {Qt::Key_M, 46},
        {Qt::Key_Period, 47},
        {Qt::Key_Tab, 48},
        {Qt::Key_Backtab, 48},
        {Qt::Key_Space, 49},
        {Qt::Key_QuoteLeft, 50},
        {Qt::Key_Backspace, 51},
        {Qt::Key_Escape, 53},
        {Qt::Key_Super_R, 54},
        {Qt::Key_Super_L, 55},
        {Qt::Key_Meta, 55},
        {Qt::Key_Shift, 56},
        {Qt::Key_CapsLock, 57},
        {Qt::Key_Alt, 58},
        {Qt::Key_Control, 59},
        {Qt::Key_AltGr, 61},
        {Qt::Key_F17, 64},
        {Qt::Key_NumLock, 71},
        {Qt::Key_Enter, 76},
        {Qt::Key_F18, 79},
        {Qt::Key_F19, 80},
        {Qt::Key_F20, 90},
        {Qt::Key_F5, 96},
        {Qt::Key_F6, 97},
        {Qt::Key_F7, 98},
        {Qt::Key_F3, 99},
        {Qt::Key_F8, 100},
        {Qt::Key_F9, 101},
        {Qt::Key_F11, 103},
        {Qt::Key_F13, 105},
        {Qt::Key_F16, 106},
        {Qt::Key_F14, 107},
        {Qt::Key_F10, 109},
        {Qt::Key_F12, 111},
        {Qt::Key_F15, 113},
        {Qt::Key_Insert, 114},
        {Qt::Key_Home, 115},
        {Qt::Key_PageUp, 116},
        {Qt::Key_Delete, 117},
        {Qt::Key_F4, 118},
        {Qt::Key_End, 119},
        {Qt::Key_F2, 120},
        {Qt::Key_PageDown, 121},
        {Qt::Key_F1, 122},
        {Qt::Key_Left, 123},
        {Qt::Key_Right, 124},
        {Qt::Key_Down, 125},
        {Qt::Key_Up, 126},
        // Shifted symbols of the US layout.
        {Qt::Key_Exclam, 18},
        {Qt::Key_At, 19},
        {Qt::Key_NumberSign, 20},
        {Qt::Key_Dollar, 21},
        {Qt::Key_AsciiCircum, 22},
        {Qt::Key_Percent, 23},
        {Qt::Key_Plus, 24},
        {Qt::Key_ParenLeft, 25},
        {Qt::Key_Ampersand, 26},
        {Qt::Key_Underscore, 27},
        {Qt::Key_Asterisk, 28},
        {Qt::Key_ParenRight, 29},
        {Qt::Key_BraceRight, 30},
        {Qt::Key_BraceLeft, 33},
        {Qt::Key_QuoteDbl, 39},
        {Qt::Key_Colon, 41},
        {Qt::Key_Bar, 42},
        {Qt::Key_Less, 43},
        {Qt::Key_Question, 44},
        {Qt::Key_Greater, 47},
        {Qt::Key_AsciiTilde, 50},
    };
    return table;
}

// Keys of the numeric keypad (events with Qt::KeypadModifier).
const QHash<int, uint16_t>& keypadKeys()
{
    static const QHash<int, uint16_t> table{
        {Qt::Key_Period, 65},
        {Qt::Key_Comma, 65},
        {Qt::Key_Delete, 65},
        {Qt::Key_Asterisk, 67},
        {Qt::Key_Plus, 69},
        {Qt::Key_Slash, 75},
        {Qt::Key_Enter, 76},
        {Qt::Key_Minus, 78},
        {Qt::Key_Equal, 81},
        {Qt::Key_0, 82},
        {Qt::Key_Insert, 82},
        {Qt::Key_1, 83},
        {Qt::Key_End, 83},
        {Qt::Key_2, 84},
        {Qt::Key_Down, 84},
        {Qt::Key_3, 85},
        {Qt::Key_PageDown, 85},
        {Qt::Key_4, 86},
        {Qt::Key_Left, 86},
        {Qt::Key_5, 87},
        {Qt::Key_Clear, 87},
        {Qt::Key_6, 88},
        {Qt::Key_Right, 88},
        {Qt::Key_7, 89},
        {Qt::Key_Home, 89},
        {Qt::Key_8, 91},
        {Qt::Key_Up, 91},
        {Qt::Key_9, 92},
        {Qt::Key_PageUp, 92},
        {Qt::Key_NumLock, 71},
    };
    return table;
}

} // namespace

std::optional<uint16_t> virtualKeyCode(int qtKey, bool keypad)
{
    if (keypad) {
        const auto it = keypadKeys().constFind(qtKey);
        if (it != keypadKeys().constEnd())
            return *it;
    }
    const auto it = mainKeys().constFind(qtKey);
    if (it == mainKeys().constEnd())
        return std::nullopt;
    return *it;
}

std::optional<uint32_t> modifierFlagForKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
        return KeyboardShortcut::shiftFlag;
    case Qt::Key_Control:
        return KeyboardShortcut::controlFlag;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return KeyboardShortcut::optionFlag;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return KeyboardShortcut::commandFlag;
    case Qt::Key_CapsLock:
        return KeyboardShortcut::capsLockFlag;
    default:
        return std::nullopt;
    }
}

uint32_t modifierFlags(Qt::KeyboardModifiers modifiers)
{
    uint32_t flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= KeyboardShortcut::shiftFlag;
    if (modifiers & Qt::ControlModifier)
        flags |= KeyboardShortcut::controlFlag;
    if (modifiers & Qt::AltModifier)
        flags |= KeyboardShortcut::optionFlag;
    if (modifiers & Qt::MetaModifier)
        flags |= KeyboardShortcut::commandFlag;
    return flags;
}

} // namespace QtKeyCodes
