#pragma once

// Whether this process may watch the keyboard desktop-wide and synthesize
// keystrokes.
class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;

    virtual bool isTrusted() = 0;
    // The same check, first showing the desktop's request to grant the
    // permission where the desktop has one.
    virtual bool requestTrust() = 0;
};
