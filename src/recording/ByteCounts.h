#pragma once

#include <cstdint>
#include <limits>

// Byte counts read from the index may hold anything: sums and conversions
// saturate instead of overflowing.
namespace ByteCounts {

inline int64_t add(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return sum;
}

inline int64_t subtract(int64_t a, int64_t b)
{
    int64_t difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        return b < 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return difference;
}

inline int64_t fromMegabytes(int64_t megabytes)
{
    int64_t bytes = 0;
    if (__builtin_mul_overflow(megabytes, int64_t{1024 * 1024}, &bytes))
        return megabytes > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return bytes;
}

} // namespace ByteCounts
