#pragma once

#include <QPoint>

#include <optional>

class QMouseEvent;
class QWidget;

// Moves a frameless window dragged by its background: the window manager
// moves it where it can, elsewhere the window follows the pointer itself.
// A window configured as not movable stays put.
class BackgroundDrag {
public:
    // Each returns true when it used the event.
    bool press(QWidget* window, QMouseEvent* event);
    bool move(QWidget* window, QMouseEvent* event);
    void release() { offset.reset(); }

private:
    std::optional<QPoint> offset;
};
