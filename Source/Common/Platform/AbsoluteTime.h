#pragma once

namespace Talmex {
namespace Platform {

// Seconds between 1970-01-01 and 2001-01-01, the epoch of the absolute time.
constexpr double kAbsoluteTimeIntervalSince1970 = 978307200.0;

// Wall-clock seconds since 2001-01-01 00:00:00 UTC.
double AbsoluteTimeGetCurrent();

} // namespace Platform
} // namespace Talmex
