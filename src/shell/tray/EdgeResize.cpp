#include "shell/tray/EdgeResize.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

Qt::CursorShape cursorFor(Qt::Edges edges)
{
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling = edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge);
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    return horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

} // namespace

Qt::Edges EdgeResize::edgesAt(const QWidget* window, QPoint position)
{
    Qt::Edges found;
    if (!window->rect().contains(position))
        return found;
    if (position.x() < reach)
        found |= Qt::LeftEdge;
    else if (position.x() >= window->width() - reach)
        found |= Qt::RightEdge;
    if (position.y() < reach)
        found |= Qt::TopEdge;
    else if (position.y() >= window->height() - reach)
        found |= Qt::BottomEdge;
    return found;
}

QRect EdgeResize::resized(const QWidget* window, const QRect& start, Qt::Edges edges, QPoint delta)
{
    const QSize least = window->minimumSize();
    const QSize most = window->maximumSize();
    QRect next = start;
    if (edges & Qt::LeftEdge)
        next.setLeft(
            std::clamp(start.left() + delta.x(), start.right() + 1 - most.width(), start.right() + 1 - least.width()));
    if (edges & Qt::RightEdge)
        next.setWidth(std::clamp(start.width() + delta.x(), least.width(), most.width()));
    if (edges & Qt::TopEdge)
        next.setTop(std::clamp(
            start.top() + delta.y(), start.bottom() + 1 - most.height(), start.bottom() + 1 - least.height()));
    if (edges & Qt::BottomEdge)
        next.setHeight(std::clamp(start.height() + delta.y(), least.height(), most.height()));
    return next;
}

bool EdgeResize::press(QWidget* window, QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return false;
    const Qt::Edges found = edgesAt(window, event->position().toPoint());
    if (!found)
        return false;
    if (window->windowHandle() && window->windowHandle()->startSystemResize(found))
        return true;
    edges = found;
    startGeometry = window->geometry();
    startPointer = event->globalPosition().toPoint();
    return true;
}

bool EdgeResize::move(QWidget* window, QMouseEvent* event)
{
    if (edges) {
        window->setGeometry(resized(window, startGeometry, edges, event->globalPosition().toPoint() - startPointer));
        return true;
    }
    if (event->buttons() == Qt::NoButton) {
        const Qt::Edges hovered = edgesAt(window, event->position().toPoint());
        if (hovered)
            window->setCursor(cursorFor(hovered));
        else
            window->unsetCursor();
    }
    return false;
}
