#pragma once

// This process's resident memory, as the kernel counts it, for the benches.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <cstring>

// A "kB" field of /proc/self/status ("VmRSS:", "VmHWM:"); -1 when unknown.
inline qint64 statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').front().toLongLong();
    }
    return -1;
}

// Starts a new peak (VmHWM) from the current resident size.
inline void resetPeakRss()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
