#include "support/WindowGeometry.h"

#include <QList>
#include <QProcess>

#include <algorithm>

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

QList<QRect> shownWindows(const QStringList& search)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("search")} + search);
    xdotool.waitForFinished(5000);
    QList<QRect> found;
    for (const QByteArray& id : xdotool.readAllStandardOutput().split('\n'))
        if (const QRect rect = id.isEmpty() ? QRect() : windowGeometry(QString::fromLatin1(id)); !rect.isEmpty())
            found.append(rect);
    return found;
}

bool panelShown(const QString& title)
{
    const QList<QRect> all = shownWindows({QStringLiteral("--name"), '^' + title + '$'});
    return std::any_of(all.begin(), all.end(), [](QRect each) { return each.width() > 100; });
}
