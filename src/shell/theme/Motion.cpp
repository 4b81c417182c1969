#include "shell/theme/Motion.h"

#include <atomic>
#include <cmath>

namespace Motion {
namespace {
std::atomic<double> scale{1.0};
}

double durationScale()
{
    return scale.load();
}

void setDurationScale(double value)
{
    scale.store(value < 0.0 ? 0.0 : value);
}

int milliseconds(double seconds)
{
    return static_cast<int>(std::lround(seconds * 1000.0 * scale.load()));
}

} // namespace Motion
