#pragma once

class QWindow;

// Whether one of our windows has an entry of its own in the desktop's
// taskbar and pager.
class TaskbarVisibility {
public:
    virtual ~TaskbarVisibility() = default;
    // Works on shown and hidden windows; a hidden one keeps the choice for
    // when it is shown.
    virtual void setSkipsTaskbar(QWindow* window, bool skip) = 0;
};
