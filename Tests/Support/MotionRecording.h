#pragma once

#include "Quaternion.h"

#include <string>

namespace TalmexTest {

using Headsets::Quaternion;
using Headsets::Vector3;

// A head that first pitches at a steady rate, then turns about the vertical
// at a steady rate, pitch held: a pure yaw when it does not pitch, a motion
// about two axes when it does. Level at 0; rates in radians per second.
struct PitchThenYaw {
    double pitchRate = 0;
    double pitchSeconds = 0;
    double yawRate = 0;

    Quaternion OrientationAt(double t) const;
    // The time at which the head is so turned; within the motion's first
    // turn of yaw.
    double TimeOf(const Quaternion& orientation) const;
    // Head frame, as a gyroscope measures it, over the interval that ends at t.
    Vector3 AngularVelocityBefore(double t) const;
};

// A recording of the motion as a headset's reports, one every period:
// orientation, the angular velocity since the last report, and gravity and
// the earth's field as an accelerometer and a magnetometer would measure them.
// False when the file cannot be written.
bool WriteMotionRecording(const std::string& path, const PitchThenYaw& motion, double seconds,
                          double period);

constexpr double kDegree = 3.14159265358979323846 / 180;

} // namespace TalmexTest
