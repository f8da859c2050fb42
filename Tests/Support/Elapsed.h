#pragma once

#include <chrono>

namespace TalmexTest {

using Clock = std::chrono::steady_clock;

inline int MillisecondsSince(Clock::time_point start)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

} // namespace TalmexTest
