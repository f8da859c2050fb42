#pragma once

#include "Common/Platform/AbsoluteTime.h"

#include <cmath>
#include <cstdint>

namespace Talmex {

// Wall-clock milliseconds since 1970-01-01 00:00 UTC, modulo 2^32. Callers
// only ever take differences of these values, modulo 2^32 as well.
inline uint32_t GetTimeMilliseconds()
{
    const double seconds =
        Platform::AbsoluteTimeGetCurrent() + Platform::kAbsoluteTimeIntervalSince1970;
    return static_cast<uint32_t>(static_cast<int64_t>(std::floor(seconds * 1000.0)));
}

} // namespace Talmex
