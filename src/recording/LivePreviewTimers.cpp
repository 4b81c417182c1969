#include "recording/LivePreviewTimers.h"

#include <mutex>

namespace LivePreviewTimers {
namespace {

std::mutex mutex;
Scheduler& replacement()
{
    static Scheduler scheduler;
    return scheduler;
}

} // namespace

void schedule(double seconds, Dispatch::Work work)
{
    Scheduler scheduler;
    {
        std::lock_guard lock(mutex);
        scheduler = replacement();
    }
    if (scheduler)
        scheduler(seconds, std::move(work));
    else
        Dispatch::main().asyncAfter(seconds, std::move(work));
}

Scheduler setScheduler(Scheduler scheduler)
{
    std::lock_guard lock(mutex);
    return std::exchange(replacement(), std::move(scheduler));
}

} // namespace LivePreviewTimers
