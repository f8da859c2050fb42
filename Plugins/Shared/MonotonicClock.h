#pragma once

#include <time.h>

namespace Headsets {

// Seconds on the clock that never steps, from an arbitrary origin.
inline double MonotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace Headsets
