#include "base/Log.h"

#include <syslog.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace Log {
namespace {

std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

// One sink and the lock its calls run under: removing a sink waits for a
// call already under way, so no line reaches it after removeSink() returned
// (its owner is usually about to go). Recursive, as a sink may log itself.
struct SinkSlot {
    explicit SinkSlot(Sink s) : sink(std::move(s)) { }
    std::recursive_mutex calling;
    Sink sink;
    bool removed = false;
};

std::map<int, std::shared_ptr<SinkSlot>>& sinks()
{
    static std::map<int, std::shared_ptr<SinkSlot>> map;
    return map;
}

void deliver(Stream stream, const QString& line)
{
    std::vector<std::shared_ptr<SinkSlot>> current;
    {
        std::lock_guard lock(sinkMutex());
        for (const auto& [id, slot] : sinks())
            current.push_back(slot);
    }
    for (const auto& slot : current) {
        std::lock_guard calling(slot->calling);
        if (!slot->removed)
            slot->sink(stream, line);
    }
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
    sinks()[id] = std::make_shared<SinkSlot>(std::move(sink));
    return id;
}

void removeSink(int id)
{
    std::shared_ptr<SinkSlot> slot;
    {
        std::lock_guard lock(sinkMutex());
        const auto found = sinks().find(id);
        if (found == sinks().end())
            return;
        slot = found->second;
        sinks().erase(found);
    }
    std::lock_guard calling(slot->calling);
    slot->removed = true;
}

} // namespace Log
