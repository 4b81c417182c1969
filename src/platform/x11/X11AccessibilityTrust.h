#pragma once

#include "platform/AccessibilityTrust.h"

// On X11 any client may grab keys and synthesize input once it can reach the
// display, so trust means: the display opens and offers the XTest extension.
// There is nothing to prompt for.
class X11AccessibilityTrust final : public AccessibilityTrust {
public:
    bool isTrusted() override;
    bool requestTrust() override { return isTrusted(); }
};
