#pragma once

#include "base/Dispatch.h"

#include <functional>

// The live preview's delayed main-queue work. Tests swap in a clock of
// their own to step through the preview's delays.
namespace LivePreviewTimers {

using Scheduler = std::function<void(double seconds, Dispatch::Work work)>;

void schedule(double seconds, Dispatch::Work work);
// Returns the scheduler it replaces; an empty one restores the main queue.
Scheduler setScheduler(Scheduler scheduler);

} // namespace LivePreviewTimers
