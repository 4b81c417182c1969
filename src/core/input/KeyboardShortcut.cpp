#include "core/input/KeyboardShortcut.h"

#include "core/config/AppConfig.h"

#include <QHash>
#include <QStringList>

std::optional<QString> keyName(uint16_t keyCode)
{
    static const QHash<uint16_t, QString> names = {
        {0, QStringLiteral("A")},
        {1, QStringLiteral("S")},
        {2, QStringLiteral("D")},
        {3, QStringLiteral("F")},
        {4, QStringLiteral("H")},
        {5, QStringLiteral("G")},
        {6, QStringLiteral("Z")},
        {7, QStringLiteral("X")},
        {8, QStringLiteral("C")},
        {9, QStringLiteral("V")},
        {11, QStringLiteral("B")},
        {12, QStringLiteral("Q")},
        {13, QStringLiteral("W")},
        {14, QStringLiteral("E")},
        {15, QStringLiteral("R")},
        {16, QStringLiteral("Y")},
        {17, QStringLiteral("T")},
        {18, QStringLiteral("1")},
        {19, QStringLiteral("2")},
        {20, QStringLiteral("3")},
        {21, QStringLiteral("4")},
        {22, QStringLiteral("6")},
        {23, QStringLiteral("5")},
        {24, QStringLiteral("=")},
        {25, QStringLiteral("9")},
        {26, QStringLiteral("7")},
        {27, QStringLiteral("-")},
        {28, QStringLiteral("8")},
        {29, QStringLiteral("0")},
        {30, QStringLiteral("]")},
        {31, QStringLiteral("O")},
        {32, QStringLiteral("U")},
        {33, QStringLiteral("[")},
        {34, QStringLiteral("I")},
        {35, QStringLiteral("P")},
        {36, QStringLiteral("Return")},
        {37, QStringLiteral("L")},
        {38, QStringLiteral("J")},
        {39, QStringLiteral("'")},
        {40, QStringLiteral("K")},
        {41, QStringLiteral(";")},
        {42, QStringLiteral("\\")},
        {43, QStringLiteral(",")},
        {44, QStringLiteral("/")},
        {45, QStringLiteral("N")},
        {46, QStringLiteral("M")},
        {47, QStringLiteral(".")},
        {48, QStringLiteral("Tab")},
        {49, QStringLiteral("Space")},
        {50, QStringLiteral("`")},
        {51, QStringLiteral("Backspace")},
        {53, QStringLiteral("Esc")},
        {55, QStringLiteral("Super")},
        {56, QStringLiteral("Shift")},
        {57, QStringLiteral("CapsLock")},
        {58, QStringLiteral("Alt")},
        {59, QStringLiteral("Ctrl")},
        {96, QStringLiteral("F5")},
        {97, QStringLiteral("F6")},
        {98, QStringLiteral("F7")},
        {99, QStringLiteral("F3")},
        {100, QStringLiteral("F8")},
        {101, QStringLiteral("F9")},
        {103, QStringLiteral("F11")},
        {109, QStringLiteral("F10")},
        {111, QStringLiteral("F12")},
        {118, QStringLiteral("F4")},
        {120, QStringLiteral("F2")},
        {122, QStringLiteral("F1")},
    };
    const auto it = names.constFind(keyCode);
    if (it == names.constEnd())
        return std::nullopt;
    return *it;
}

QString KeyboardShortcut::displayString() const
{
    QStringList parts;
    if (modifierFlags & controlFlag)
        parts << QStringLiteral("Ctrl");
    if (modifierFlags & optionFlag)
        parts << QStringLiteral("Alt");
    if (modifierFlags & shiftFlag)
        parts << QStringLiteral("Shift");
    if (modifierFlags & commandFlag)
        parts << QStringLiteral("Super");
    if (const auto name = keyName(keyCode))
        parts << *name;
    return parts.join(QLatin1Char('+'));
}

std::optional<ShortcutAction> ShortcutAction::fromRawValue(const QString& rawValue)
{
    for (ShortcutAction action : allCases()) {
        if (action.rawValue() == rawValue)
            return action;
    }
    return std::nullopt;
}

QList<ShortcutAction> ShortcutAction::allCases()
{
    return {quickTranscribe, quickTranscribeWithWindow, continuousRecording};
}

QString ShortcutAction::rawValue() const
{
    switch (actionCase) {
    case quickTranscribe:
        return QStringLiteral("quickTranscribe");
    case quickTranscribeWithWindow:
        return QStringLiteral("quickTranscribeWithWindow");
    case continuousRecording:
        return QStringLiteral("continuousRecording");
    }
    return {};
}

QString ShortcutAction::displayName() const
{
    switch (actionCase) {
    case quickTranscribe:
        return QStringLiteral("Quick transcribe");
    case quickTranscribeWithWindow:
        return QStringLiteral("Quick transcribe (with window)");
    case continuousRecording:
        return QStringLiteral("Continuous recording mode");
    }
    return {};
}

KeyboardShortcut ShortcutAction::defaultShortcut() const
{
    switch (actionCase) {
    case quickTranscribe:
        return KeyboardShortcut::withModifiers(AppConfig::vkKeyW, /*option=*/true);
    case quickTranscribeWithWindow:
        return KeyboardShortcut::withModifiers(AppConfig::vkKeyW, /*option=*/true, /*command=*/false, /*shift=*/true);
    case continuousRecording:
        return KeyboardShortcut::withModifiers(AppConfig::vkKeyW, /*option=*/true, /*command=*/true);
    }
    return {};
}
