#pragma once

#include "EmulatedRiftMotion.h"

#include <openhmd.h>

namespace TalmexTest {

// OpenHMD's view of the emulated headset, for the tests and measurements that
// run its driver with the emulation preloaded.

using SensorTimeFunction = double (*)();

// The emulation's sensor time (EmulatedRift.h); nullptr when it is not
// preloaded.
SensorTimeFunction FindEmulatedRiftSensorTime();
// The same, having run the program again with the emulation (library)
// preloaded when it was not: argv as main was given it. nullptr, with the
// reason on standard error, when that failed.
SensorTimeFunction PreloadEmulatedRift(char** argv, const char* library);
// The headset's index in a new probe; -1 when it is not listed.
int ProbeEmulatedRift(ohmd_context* context);
// Opens the headset with OpenHMD's update thread off, so that the caller ticks
// it with ohmd_ctx_update; nullptr when it is not listed or does not open.
ohmd_device* OpenEmulatedRift(ohmd_context* context);
// OpenHMD's orientation, which it gives as x, y, z, w.
Quaternion OpenHmdOrientation(ohmd_device* device);

} // namespace TalmexTest
