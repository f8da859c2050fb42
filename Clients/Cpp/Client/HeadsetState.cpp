#include "Client/HeadsetState.h"

#include <algorithm>
#include <cmath>

namespace Talmex {
namespace Client {

YawPitchRoll YawPitchRollOf(const float (&orientation)[4])
{
    const double w = orientation[0];
    const double x = orientation[1];
    const double y = orientation[2];
    const double z = orientation[3];
    constexpr double kDegrees = 180 / 3.14159265358979323846;
    YawPitchRoll angles;
    angles.yaw = kDegrees * std::atan2(2 * (x * z + w * y), 1 - 2 * (x * x + y * y));
    angles.pitch = kDegrees * std::asin(std::clamp(2 * (w * x - y * z), -1.0, 1.0));
    angles.roll = kDegrees * std::atan2(2 * (x * y + w * z), 1 - 2 * (x * x + z * z));
    return angles;
}

} // namespace Client
} // namespace Talmex
