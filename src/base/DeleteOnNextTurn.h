#pragma once

#include <QMetaObject>
#include <QObject>

// Deletes `object` on the next turn of its thread's event loop. Unlike
// deleteLater(), which waits for the event loop that called it to return,
// this also happens when the call came from outside any slot or from inside
// a nested loop (a modal dialog).
inline void deleteOnNextTurn(QObject* object)
{
    if (object)
        QMetaObject::invokeMethod(
            object, [object] { delete object; }, Qt::QueuedConnection);
}
