#pragma once

#include "Quaternion.h"

namespace Headsets {

// What a head sensor at rest measures, in the world frame (x right, y up, z
// backwards): the accelerometer's reaction to gravity, in m/s², and the
// Earth's magnetic field, in gauss, pointing north (-z) and down.
constexpr Vector3 kGravity = {0, 9.80665, 0};
constexpr Vector3 kEarthField = {0, -0.42, -0.21};

} // namespace Headsets
