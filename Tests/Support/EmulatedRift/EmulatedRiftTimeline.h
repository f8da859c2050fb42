#pragma once

#include "EmulatedRiftMotion.h"

#include <chrono>
#include <optional>
#include <string>

namespace TalmexTest {

// The emulated headset's sensor time seen from a process that did not open
// it, a client of the agent it is preloaded into: its open log
// (TALMEX_EMULATED_RIFT_OPEN_LOG) says when the newest open was, on
// CLOCK_MONOTONIC, the clock std::chrono::steady_clock reads.

// The newest open the log holds; nothing when it holds none.
std::optional<std::chrono::steady_clock::time_point>
NewestEmulatedRiftOpen(const std::string& logPath);

// A driver's orientation holds the samples up to the whole millisecond of
// sensor time that was newest when it read them, and a report arrives some
// time after that, which it does not carry. So a reported orientation is
// matched with the nearest truth among the whole milliseconds of the window
// before its arrival, which says how far off it is and how old.
struct OrientationMatch {
    double error; // radians to that truth
    double age;   // seconds from that truth's sensor time to the arrival
};

// arrival and window in seconds of sensor time.
OrientationMatch MatchOrientation(const EmulatedRiftMotion& motion, const Quaternion& reported,
                                  double arrival, double window);

} // namespace TalmexTest
