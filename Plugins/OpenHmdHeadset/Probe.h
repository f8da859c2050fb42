#pragma once

#include "DeviceChoice.h"

#include <openhmd.h>

#include <vector>

namespace OpenHmdHeadset {

// The devices OpenHMD finds now, in its order; the context must have none open.
std::vector<ProbeEntry> Probe(ohmd_context* context);

} // namespace OpenHmdHeadset
