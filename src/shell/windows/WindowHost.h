#pragma once

// What the window manager asks of the application controller.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    // Opens the Settings window, or brings it forward.
    virtual void showSettings() = 0;
};
