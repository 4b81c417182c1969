#include "base/Log.h"

#include <syslog.h>

#include <cstdio>
#include <map>
#include <mutex>

namespace Log {
namespace {

std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<int, Sink>& sinks()
{
    static std::map<int, Sink> map;
    return map;
}

void deliver(Stream stream, const QString& line)
{
    std::map<int, Sink> copy;
    {
        std::lock_guard lock(sinkMutex());
        copy = sinks();
    }
    for (auto& [id, sink] : copy)
        sink(stream, line);
}

} // namespace

void system(const QString& line)
{
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("tallowind", LOG_PID, LOG_USER); });
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
    std::fflush(stderr);
    syslog(LOG_NOTICE, "%s", bytes.constData());
    deliver(Stream::System, line);
}

void out(const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stdout, "%s\n", bytes.constData());
    std::fflush(stdout);
    deliver(Stream::Out, line);
}

int addSink(Sink sink)
{
    static int nextId = 1;
    std::lock_guard lock(sinkMutex());
    const int id = nextId++;
    sinks()[id] = std::move(sink);
    return id;
}

void removeSink(int id)
{
    std::lock_guard lock(sinkMutex());
    sinks().erase(id);
}

} // namespace Log
