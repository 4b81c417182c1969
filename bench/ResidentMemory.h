#pragma once

#include <QByteArray>
#include <QFile>

// The process's resident memory in KiB, from /proc/self/status; -1 when it
// cannot be read.
inline long residentKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    }
    return -1;
}
