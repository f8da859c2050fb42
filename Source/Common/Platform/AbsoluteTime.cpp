#include "Common/Platform/AbsoluteTime.h"

#include <time.h>

namespace Talmex {
namespace Platform {

double AbsoluteTimeGetCurrent()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) - kAbsoluteTimeIntervalSince1970 +
           static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace Platform
} // namespace Talmex
