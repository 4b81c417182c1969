#pragma once

#include "shell/ShellHost.h"

#include <vector>

// A shell host that notes what the tray asked of it.
class RecordingShellHost final : public ShellHost {
public:
    void togglePopover(TrayClick click) override { clicks.push_back(click); }
    void showSettings() override { ++settings; }
    void checkForUpdates() override { ++updateChecks; }
    void windowDidMove(QWidget*) override { }
    void windowWillClose(QWidget*) override { }

    std::vector<TrayClick> clicks;
    int settings = 0;
    int updateChecks = 0;
};
