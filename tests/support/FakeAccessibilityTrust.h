#pragma once

#include "platform/AccessibilityTrust.h"

// Untrusted until the test says otherwise; counts checks and prompts.
class FakeAccessibilityTrust final : public AccessibilityTrust {
public:
    bool trusted = false;
    int checks = 0;
    int prompts = 0;

    bool isTrusted() override
    {
        ++checks;
        return trusted;
    }
    bool requestTrust() override
    {
        ++prompts;
        return trusted;
    }
};
