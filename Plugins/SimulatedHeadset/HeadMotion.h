#pragma once

#include "Quaternion.h"

namespace SimulatedHeadset {

using Headsets::Quaternion;
using Headsets::Vector3;

// A smooth, deterministic head motion: slow sways in yaw, pitch and roll, as
// of a seated user looking around. A function of time alone, so every value
// derived from it is consistent with every other.
class HeadMotion {
public:
    // True orientation at t seconds after the headset started.
    static Quaternion OrientationAt(double t);
    // Angular velocity at t in the head frame, radians per second.
    static Vector3 AngularVelocityAt(double t);
};

} // namespace SimulatedHeadset
