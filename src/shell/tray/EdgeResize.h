#pragma once

#include <QPoint>
#include <QRect>

#include <Qt>

class QMouseEvent;
class QWidget;

// Resizes a frameless window from its edges and corners: the window
// manager does it where it can, elsewhere the window follows the pointer
// itself, within its minimum and maximum size.
class EdgeResize {
public:
    // How far into the window an edge can be taken, in pixels.
    static constexpr int reach = 6;

    // The edges within reach of `position` (window coordinates).
    static Qt::Edges edgesAt(const QWidget* window, QPoint position);
    // The geometry a resize from `start` gives when the pointer has moved by
    // `delta` on `edges`; the edges opposite stay where they are.
    static QRect resized(const QWidget* window, const QRect& start, Qt::Edges edges, QPoint delta);

    // Each returns true when it used the event. move() also shows the
    // resize cursor while the pointer hovers over an edge.
    bool press(QWidget* window, QMouseEvent* event);
    bool move(QWidget* window, QMouseEvent* event);
    void release() { edges = {}; }

private:
    Qt::Edges edges;
    QRect startGeometry;
    QPoint startPointer;
};
