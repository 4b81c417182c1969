#include "shell/tray/BackgroundDrag.h"

#include "shell/windows/WindowManager.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

bool BackgroundDrag::press(QWidget* window, QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !WindowManager::isMovable(window))
        return false;
    if (window->windowHandle() && window->windowHandle()->startSystemMove())
        return true;
    offset = event->globalPosition().toPoint() - window->pos();
    return true;
}

bool BackgroundDrag::move(QWidget* window, QMouseEvent* event)
{
    if (!offset)
        return false;
    window->move(event->globalPosition().toPoint() - *offset);
    return true;
}
