#pragma once

#include "Protocol/Report.h"

namespace Talmex {
namespace Client {

// One report as the host sees it: every value and every flag by name.
using HeadsetState = Protocol::Report;
using Protocol::DisplayState;
using Protocol::SensorState;

// Yaw, pitch and roll in degrees of an orientation (w, x, y, z) in the head
// frame (x right, y up, z backwards): yaw about y, then pitch about x, then
// roll about z. Positive yaw turns left, positive pitch looks up, positive
// roll tilts the head to the left.
struct YawPitchRoll {
    double yaw;
    double pitch;
    double roll;
};

YawPitchRoll YawPitchRollOf(const float (&orientation)[4]);

} // namespace Client
} // namespace Talmex
