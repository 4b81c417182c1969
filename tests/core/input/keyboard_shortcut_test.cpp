#include "core/input/KeyboardShortcut.h"

#include <gtest/gtest.h>

#include <QKeySequence>

namespace {
constexpr uint16_t kKeyW = 13;
constexpr uint16_t kSpace = 49;
constexpr uint16_t kEscape = 53;
constexpr uint16_t kLeftArrow = 123;
} // namespace

TEST(KeyboardShortcutDisplay, ModifiersInFixedOrderThenKeyName)
{
    EXPECT_EQ((KeyboardShortcut{kSpace, KeyboardShortcut::commandFlag | KeyboardShortcut::controlFlag}).displayString(),
        "Ctrl+Super+Space");
    EXPECT_EQ((KeyboardShortcut{kKeyW, 0x1F0000}).displayString(), "Ctrl+Alt+Shift+Super+W");
    EXPECT_EQ((KeyboardShortcut{kEscape, 0}).displayString(), "Esc");
    EXPECT_EQ((KeyboardShortcut{kLeftArrow, KeyboardShortcut::optionFlag}).displayString(), "Alt");
    EXPECT_EQ((KeyboardShortcut{kLeftArrow, 0}).displayString(), "");
    EXPECT_EQ((KeyboardShortcut{65535, KeyboardShortcut::optionFlag | KeyboardShortcut::commandFlag}).displayString(),
        "Alt+Super");
    // Caps Lock has no symbol.
    EXPECT_EQ((KeyboardShortcut{0, KeyboardShortcut::capsLockFlag}).displayString(), "A");
    EXPECT_EQ((KeyboardShortcut{42, 0}).displayString(), "\\");
    EXPECT_EQ((KeyboardShortcut{50, 0}).displayString(), "`");
}

// Shortcuts read as this desktop writes them: Qt's own text for the same
// keys. (Qt puts Meta first; the Super key keeps its place at the end.)
TEST(KeyboardShortcutDisplay, ReadsLikeQtsNativeKeySequenceText)
{
    const struct {
        uint16_t keyCode;
        int qtKey;
    } keys[] = {{13, Qt::Key_W}, {36, Qt::Key_Return}, {48, Qt::Key_Tab}, {49, Qt::Key_Space}, {51, Qt::Key_Backspace},
        {53, Qt::Key_Escape}, {122, Qt::Key_F1}, {43, Qt::Key_Comma}};
    const struct {
        uint32_t flags;
        Qt::KeyboardModifiers qt;
    } modifiers[] = {{0, Qt::NoModifier}, {KeyboardShortcut::optionFlag, Qt::AltModifier},
        {KeyboardShortcut::optionFlag | KeyboardShortcut::shiftFlag, Qt::AltModifier | Qt::ShiftModifier},
        {KeyboardShortcut::controlFlag | KeyboardShortcut::shiftFlag, Qt::ControlModifier | Qt::ShiftModifier},
        {KeyboardShortcut::controlFlag | KeyboardShortcut::optionFlag | KeyboardShortcut::shiftFlag,
            Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier}};
    for (const auto& key : keys) {
        for (const auto& modifier : modifiers) {
            const QString native =
                QKeySequence(QKeyCombination(modifier.qt, Qt::Key(key.qtKey))).toString(QKeySequence::NativeText);
            EXPECT_EQ(
                (KeyboardShortcut{key.keyCode, modifier.flags}).displayString().toStdString(), native.toStdString());
        }
    }
}

TEST(KeyboardShortcutDisplay, SixtyNineKeysHaveNames)
{
    int named = 0;
    for (int code = 0; code <= 0xFFFF; ++code)
        named += keyName(static_cast<uint16_t>(code)).has_value();
    EXPECT_EQ(named, 69);
    for (uint16_t unnamed : {10, 52, 54, 60, 95, 102, 104, 110, 119, 121, 123, 126})
        EXPECT_FALSE(keyName(unnamed)) << unnamed;
    EXPECT_EQ(keyName(22), "6");
    EXPECT_EQ(keyName(23), "5");
    EXPECT_EQ(keyName(122), "F1");
}

TEST(KeyboardShortcutMatching, ComparesKeyAndEveryDeviceIndependentBit)
{
    const KeyboardShortcut optionW{kKeyW, KeyboardShortcut::optionFlag};
    EXPECT_TRUE(optionW.matches(kKeyW, KeyboardShortcut::optionFlag));
    // Device-dependent bits below 0x10000 and bits above 32 are ignored.
    EXPECT_TRUE(optionW.matches(kKeyW, KeyboardShortcut::optionFlag | 0x20 | 0x100 | (uint64_t{1} << 40)));
    EXPECT_FALSE(optionW.matches(kKeyW, KeyboardShortcut::optionFlag | KeyboardShortcut::capsLockFlag));
    EXPECT_FALSE(optionW.matches(kKeyW, KeyboardShortcut::optionFlag | KeyboardShortcut::shiftFlag));
    EXPECT_FALSE(optionW.matches(kKeyW, 0));
    EXPECT_FALSE(optionW.matches(kEscape, KeyboardShortcut::optionFlag));

    const KeyboardShortcut modifiersOnly{65535, KeyboardShortcut::optionFlag};
    EXPECT_FALSE(modifiersOnly.matches(kKeyW, KeyboardShortcut::optionFlag));
}

TEST(KeyboardShortcutMatching, BuildingFromModifierSwitches)
{
    EXPECT_EQ(KeyboardShortcut::withModifiers(kKeyW, true), (KeyboardShortcut{kKeyW, 524288}));
    EXPECT_EQ(KeyboardShortcut::withModifiers(kKeyW, true, true, true, true), (KeyboardShortcut{kKeyW, 0x1E0000}));
    EXPECT_EQ(KeyboardShortcut::withModifiers(kKeyW), (KeyboardShortcut{kKeyW, 0}));
}

TEST(ShortcutActions, NamesAndDefaults)
{
    const QList<ShortcutAction> all = ShortcutAction::allCases();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].rawValue(), "quickTranscribe");
    EXPECT_EQ(all[1].rawValue(), "quickTranscribeWithWindow");
    EXPECT_EQ(all[2].rawValue(), "continuousRecording");
    EXPECT_EQ(all[1].displayName(), "Quick transcribe (with window)");
    EXPECT_EQ(all[2].displayName(), "Continuous recording mode");

    EXPECT_EQ(all[0].defaultShortcut(), (KeyboardShortcut{kKeyW, 524288}));
    EXPECT_EQ(all[1].defaultShortcut(), (KeyboardShortcut{kKeyW, 655360}));
    EXPECT_EQ(all[2].defaultShortcut(), (KeyboardShortcut{kKeyW, 1572864}));
    EXPECT_EQ(all[0].defaultShortcut().displayString(), "Alt+W");
    EXPECT_EQ(all[1].defaultShortcut().displayString(), "Alt+Shift+W");
    EXPECT_EQ(all[2].defaultShortcut().displayString(), "Alt+Super+W");

    for (ShortcutAction action : all)
        EXPECT_EQ(ShortcutAction::fromRawValue(action.rawValue()), action);
    EXPECT_FALSE(ShortcutAction::fromRawValue("QuickTranscribe"));
    EXPECT_FALSE(ShortcutAction::fromRawValue(""));
}
