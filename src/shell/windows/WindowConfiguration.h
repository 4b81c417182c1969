#pragma once

#include "shell/windows/WindowType.h"

#include <QSize>

#include <optional>

// How a kind of window is presented.
struct WindowConfiguration {
    enum class WindowStyle { regular, floating, panel, popover };

    WindowType type;
    WindowStyle style;
    bool resizable;
    bool movable;
    bool closable;
    bool titleBarHidden;
    bool floatingLevel;
    bool hidesOnDeactivate;
    std::optional<QSize> defaultSize;
    std::optional<QSize> minSize;
    std::optional<QSize> maxSize;

    // The table row of a kind.
    static WindowConfiguration configuration(WindowType type);
};

// What a window of a kind starts with when it is first made: free or
// content-sized resizing, and its default size (600 x 400 when the kind
// names none).
struct WindowSceneSettings {
    enum class Resizability { automatic, contentSize };
    Resizability resizability;
    QSize defaultSize;
};
WindowSceneSettings windowConfiguration(WindowType type);
