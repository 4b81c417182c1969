#pragma once

#include "shell/ShellHost.h"

// A shell host that does nothing, for showing windows on their own.
class IdleShellHost final : public ShellHost {
public:
    void togglePopover(TrayClick) override { }
    void showSettings() override { }
    void checkForUpdates() override { }
    void windowDidMove(QWidget*) override { }
    void windowWillClose(QWidget*) override { }
};
