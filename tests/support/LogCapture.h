#pragma once

#include "base/Log.h"

#include <QStringList>

#include <mutex>

// Collects the log lines written while it lives.
class LogCapture {
public:
    LogCapture()
    {
        id_ = Log::addSink([this](Log::Stream stream, const QString& line) {
            std::lock_guard lock(mutex_);
            (stream == Log::Stream::System ? system_ : out_).append(line);
        });
    }
    ~LogCapture() { Log::removeSink(id_); }

    QStringList systemLines() const
    {
        std::lock_guard lock(mutex_);
        return system_;
    }
    QStringList outLines() const
    {
        std::lock_guard lock(mutex_);
        return out_;
    }
    bool hasSystemLine(const QString& line) const { return systemLines().contains(line); }
    bool hasOutLine(const QString& line) const { return outLines().contains(line); }

private:
    int id_ = 0;
    mutable std::mutex mutex_;
    QStringList system_;
    QStringList out_;
};
