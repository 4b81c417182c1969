#include "support/WindowGeometry.h"

#include <QList>
#include <QProcess>

#include <algorithm>

// After Qt: Xlib's macros clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

QRect windowGeometry(const QString& windowId)
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId});
    xwininfo.waitForFinished(5000);
    QRect rect;
    bool mapped = false;
    for (const QByteArray& line : xwininfo.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> pair = line.trimmed().split(':');
        if (pair.size() != 2)
            continue;
        const QByteArray value = pair[1].trimmed();
        if (pair[0] == "Absolute upper-left X")
            rect.moveLeft(value.toInt());
        else if (pair[0] == "Absolute upper-left Y")
            rect.moveTop(value.toInt());
        else if (pair[0] == "Width")
            rect.setWidth(value.toInt());
        else if (pair[0] == "Height")
            rect.setHeight(value.toInt());
        else if (pair[0] == "Map State")
            mapped = value == "IsViewable";
    }
    return mapped ? rect : QRect();
}

namespace {

QStringList foundWindowIds(const QStringList& search)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("search")} + search);
    xdotool.waitForFinished(5000);
    QStringList found;
    for (const QByteArray& id : xdotool.readAllStandardOutput().split('\n'))
        if (!id.isEmpty())
            found.append(QString::fromLatin1(id));
    return found;
}

} // namespace

QList<QRect> shownWindows(const QStringList& search)
{
    QList<QRect> found;
    for (const QString& id : foundWindowIds(search))
        if (const QRect rect = windowGeometry(id); !rect.isEmpty())
            found.append(rect);
    return found;
}

QString shownWindowId(const QStringList& search)
{
    for (const QString& id : foundWindowIds(search))
        if (!windowGeometry(id).isEmpty())
            return id;
    return {};
}

bool windowMasked(const QString& windowId)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    Bool bounded = False;
    Bool clipped = False;
    int x = 0;
    int y = 0;
    int clipX = 0;
    int clipY = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned clipWidth = 0;
    unsigned clipHeight = 0;
    const Status answered = XShapeQueryExtents(display, windowId.toULong(nullptr, 0), &bounded, &x, &y, &width, &height,
        &clipped, &clipX, &clipY, &clipWidth, &clipHeight);
    XCloseDisplay(display);
    return answered && bounded;
}

bool panelShown(const QString& title)
{
    const QList<QRect> all = shownWindows({QStringLiteral("--name"), '^' + title + '$'});
    return std::any_of(all.begin(), all.end(), [](QRect each) { return each.width() > 100; });
}
