#pragma once

#include "EmulatedRiftMotion.h"

#include <functional>
#include <limits>
#include <string>

namespace TalmexTest {

// What a test controls in the emulated headset, through the environment of
// the process it is preloaded into (numbers in C notation, "2.5", "-30"):
//
//   TALMEX_EMULATED_RIFT_YAW_RATE          degrees per second, -1000 to 1000;
//                                          30 when unset
//   TALMEX_EMULATED_RIFT_PITCH_AMPLITUDE   degrees of the nod, 0 to 80; 0
//   TALMEX_EMULATED_RIFT_PITCH_PERIOD      seconds per nod, 0.1 to 3600; 4
//   TALMEX_EMULATED_RIFT_UNPLUG_AT         seconds after the process first
//                                          opened the device, 0 to 1000000;
//                                          never when unset
//   TALMEX_EMULATED_RIFT_REPLUG_AT         seconds after that same first open,
//                                          later than the unplug; never
//   TALMEX_EMULATED_RIFT_OPEN_LOG          a file each open appends a line to:
//                                          the open's CLOCK_MONOTONIC time in
//                                          nanoseconds, where its sensor time
//                                          starts, for a test in another
//                                          process (EmulatedRiftTimeline.h)
//
// The variables are read at every open of the device: the motion starts anew
// from there. The unplug and replug happen once in a process, on the times
// read at its first open. A value that is malformed or out of range is
// refused: the default holds, and at the first open one line says so on
// standard error.
struct EmulatedRiftSettings {
    static constexpr double kNever = std::numeric_limits<double>::infinity();

    EmulatedRiftMotion motion;
    double unplugAt = kNever;
    double replugAt = kNever;

    // Whether the device is on the bus t seconds after the first open.
    bool IsPluggedAt(double t) const { return t < unplugAt || t >= replugAt; }
    // Whether a handle opened at opened still reaches the device at t: it
    // does not survive the cable being pulled, even once it is back.
    bool IsReachable(double opened, double t) const { return opened >= unplugAt || t < unplugAt; }
};

// The settings from the variables that lookup finds (nullptr: unset); one
// line per refused variable is added to refusals.
EmulatedRiftSettings
ReadEmulatedRiftSettings(const std::function<const char*(const char* name)>& lookup,
                         std::string* refusals);

} // namespace TalmexTest
