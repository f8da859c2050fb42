#pragma once

#include "Common/Platform/AbsoluteTime.h"

#include <cmath>
#include <cstdint>
#include <time.h>

namespace Talmex {

// Wall-clock milliseconds since 1970-01-01 00:00 UTC, modulo 2^32. It steps
// whenever the wall clock is set, so intervals are measured with
// GetMonotonicMilliseconds instead.
inline uint32_t GetTimeMilliseconds()
{
    const double seconds =
        Platform::AbsoluteTimeGetCurrent() + Platform::kAbsoluteTimeIntervalSince1970;
    return static_cast<uint32_t>(static_cast<int64_t>(std::floor(seconds * 1000.0)));
}

// Milliseconds from an arbitrary origin, modulo 2^32, on a clock that steps
// of the wall clock do not move: for measuring intervals. It counts the time
// the machine spends suspended, as the wall clock does, so that a channel
// ages across a suspend.
inline uint32_t GetMonotonicMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

} // namespace Talmex
