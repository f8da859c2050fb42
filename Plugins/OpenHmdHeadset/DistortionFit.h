#pragma once

#include <array>

namespace OpenHmdHeadset {

// The headset's four distortion coefficients k: a point at radius r from the
// lens centre is drawn at r (k0 + k1 r^2 + k2 r^4 + k3 r^6). OpenHMD gives
// most devices only its universal distortion a, b, c, d, whose scale is
// a r^3 + b r^2 + c r + d: the coefficients that come closest to it over
// r in [0, 1], by least squares.
std::array<float, 4> FitDistortion(const std::array<float, 4>& universal);

} // namespace OpenHmdHeadset
