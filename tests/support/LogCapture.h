#pragma once

#include "support/UnsharedCopy.h"
#include "base/Log.h"

#include <QStringList>

#include <mutex>

// Collects the log lines written while it lives.
class LogCapture {
public:
    LogCapture()
    {
        id = Log::addSink([this](Log::Stream stream, const QString& line) {
            std::lock_guard lock(mutex);
            (stream == Log::Stream::System ? system : out).append(line);
        });
    }
    ~LogCapture() { Log::removeSink(id); }

    QStringList systemLines() const
    {
        std::lock_guard lock(mutex);
        return unsharedCopy(system);
    }
    QStringList outLines() const
    {
        std::lock_guard lock(mutex);
        return unsharedCopy(out);
    }
    bool hasSystemLine(const QString& line) const { return systemLines().contains(line); }
    bool hasOutLine(const QString& line) const { return outLines().contains(line); }

private:
    int id = 0;
    mutable std::mutex mutex;
    QStringList system;
    QStringList out;
};
