#pragma once

#include <array>

namespace OpenHmdHeadset {

// The headset's four distortion coefficients k: a point at radius r from the
// lens centre is drawn at r (k0 + k1 r^2 + k2 r^4 + k3 r^6). OpenHMD gives
// most devices only its universal distortion a, b, c, d, whose scale is
// a r^3 + b r^2 + c r + d: the coefficients that come closest to it over
// r in [0, 1], by least squares.
std::array<float, 4> FitDistortion(const std::array<float, 4>& universal);

// Whether coefficients a driver gives as the headset's own can be a lens's:
// k0, the scale at the centre, within [0.5, 2] and the others within
// [-1, 1]. Every lens OpenHMD describes lies well inside (the Rift DK1's own
// 1, 0.22, 0.24, 0; the fits to its universal distortion, k0 0.6 to 0.8 and
// the others within 0.8). OpenHMD 0.3.0's Rift driver keeps one byte of each
// float, giving whole numbers (0, 174, 143, 0 for the DK1), which fail.
bool IsPlausibleDistortion(const std::array<float, 4>& k);

} // namespace OpenHmdHeadset
