#pragma once

// Whether the tool shows an entry of its own in the desktop's taskbar, as
// well as its tray icon. Implemented by whoever owns the windows.
class TaskbarPresence {
public:
    virtual ~TaskbarPresence() = default;
    virtual void setShowsTaskbarEntry(bool show) = 0;
};
