#include "platform/x11/X11KeyCodes.h"

#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

using namespace X11KeyCodes;

TEST(X11KeyCodes, DefaultShortcutKeysMapBothWays)
{
    EXPECT_EQ(keysymForKeyCode(13), static_cast<unsigned long>(XK_w));
    EXPECT_EQ(keysymForKeyCode(9), static_cast<unsigned long>(XK_v));
    EXPECT_EQ(keysymForKeyCode(53), static_cast<unsigned long>(XK_Escape));
    EXPECT_EQ(keyCodeForKeysym(XK_w), 13);
    EXPECT_EQ(keyCodeForKeysym(XK_W), 13) << "a shifted letter is the same key";
    EXPECT_EQ(keyCodeForKeysym(XK_Escape), 53);
}

TEST(X11KeyCodes, EveryMappedCodeComesBackFromItsKeysym)
{
    for (int code = 0; code < 128; ++code) {
        const unsigned long keysym = keysymForKeyCode(static_cast<uint16_t>(code));
        if (keysym == NoSymbol)
            continue;
        EXPECT_EQ(keyCodeForKeysym(keysym), code) << "code " << code;
    }
    EXPECT_EQ(keysymForKeyCode(10), static_cast<unsigned long>(NoSymbol));
    EXPECT_EQ(keysymForKeyCode(65535), static_cast<unsigned long>(NoSymbol));
    EXPECT_FALSE(keyCodeForKeysym(XK_Multi_key).has_value());
}

TEST(X11KeyCodes, ModifiersTranslateAndLockBitsOtherThanCapsAreDropped)
{
    EXPECT_EQ(x11ModifierMask(flagOption), static_cast<unsigned int>(Mod1Mask));
    EXPECT_EQ(x11ModifierMask(flagOption | flagCommand), static_cast<unsigned int>(Mod1Mask | Mod4Mask));
    EXPECT_EQ(x11ModifierMask(flagShift | flagControl | flagCapsLock),
        static_cast<unsigned int>(ShiftMask | ControlMask | LockMask));
    EXPECT_EQ(x11ModifierMask(0x800000), 0u) << "bits without an X equivalent";

    EXPECT_EQ(modifierFlagsForX11State(Mod1Mask | Mod2Mask), flagOption) << "NumLock is not a modifier";
    EXPECT_EQ(modifierFlagsForX11State(Mod3Mask | Mod5Mask | Button1Mask), 0u);
    EXPECT_EQ(modifierFlagsForX11State(LockMask | Mod4Mask), flagCapsLock | flagCommand);
}

TEST(X11KeyCodes, ModifierKeysAreRecognisedOthersAreNot)
{
    EXPECT_EQ(modifierFlagForKeysym(XK_Alt_L), flagOption);
    EXPECT_EQ(modifierFlagForKeysym(XK_Alt_R), flagOption);
    EXPECT_EQ(modifierFlagForKeysym(XK_Super_L), flagCommand);
    EXPECT_EQ(modifierFlagForKeysym(XK_Shift_R), flagShift);
    EXPECT_EQ(modifierFlagForKeysym(XK_Control_L), flagControl);
    EXPECT_FALSE(modifierFlagForKeysym(XK_w).has_value());
    EXPECT_FALSE(modifierFlagForKeysym(XK_Num_Lock).has_value());
}
