#pragma once

#include "Client/HeadsetState.h"

namespace Talmex {
namespace Monitor {

// Yaw, pitch and roll of an orientation in degrees, as the monitor shows them.
inline Client::YawPitchRoll DegreesOf(const float (&orientation)[4])
{
    constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;
    const Client::YawPitchRoll radians = Client::YawPitchRollOf(orientation);
    return {radians.yaw * kDegreesPerRadian, radians.pitch * kDegreesPerRadian,
            radians.roll * kDegreesPerRadian};
}

} // namespace Monitor
} // namespace Talmex
