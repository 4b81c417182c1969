#pragma once

#include "platform/TrayIcon.h"

class QWidget;

// What the tray, the panels and the windows of the shell ask of the
// application controller.
class ShellHost {
public:
    virtual ~ShellHost() = default;
    // A click on the tray icon: left toggles the popover, right opens the
    // context menu.
    virtual void togglePopover(TrayClick click = TrayClick::left) = 0;
    virtual void showSettings() = 0;
    virtual void checkForUpdates() = 0;
    // Window reports from the windows whose delegate the controller is.
    virtual void windowDidMove(QWidget* window) = 0;
    virtual void windowWillClose(QWidget* window) = 0;
};
