#pragma once

#include "Quaternion.h"

#include <cmath>

namespace TalmexTest {

using Headsets::Quaternion;
using Headsets::Vector3;

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180;

// The head motion the emulated headset's sensors measure, and so the truth a
// test compares a driver's orientation with: a steady turn about the vertical
// at yawRate while the head nods pitchAmplitude up and down once every
// pitchPeriod. t counts seconds of sensor time since the device was opened,
// where the head is level and looks ahead. Head frame: x right, y up, z
// backwards; the sensor sits at the centre of the turn, so it feels gravity
// alone.
struct EmulatedRiftMotion {
    static constexpr double kGravity = 9.80665;
    // Gauss, pointing north (ahead at the start) and down.
    static constexpr Vector3 kMagneticField{0, -0.4, -0.2};

    double yawRate = 30 * kRadiansPerDegree; // radians per second
    double pitchAmplitude = 0;               // radians
    double pitchPeriod = 4;                  // seconds

    Quaternion OrientationAt(double t) const
    {
        return Quaternion::AboutAxis({0, 1, 0}, yawRate * t) *
               Quaternion::AboutAxis({1, 0, 0}, _PitchAt(t));
    }

    // Radians per second in the head frame, as a gyroscope measures it.
    Vector3 AngularVelocityAt(double t) const
    {
        const Vector3 turn = Quaternion::AboutAxis({1, 0, 0}, _PitchAt(t)).ToLocal({0, yawRate, 0});
        const double pitchRate = pitchAmplitude * _Phase() * std::cos(_Phase() * t);
        return {turn.x + pitchRate, turn.y, turn.z};
    }

    // Metres per second squared in the head frame, as an accelerometer
    // measures it: up while at rest.
    Vector3 AccelerationAt(double t) const { return OrientationAt(t).ToLocal({0, kGravity, 0}); }

    Vector3 MagneticFieldAt(double t) const { return OrientationAt(t).ToLocal(kMagneticField); }

private:
    double _Phase() const { return 2 * kPi / pitchPeriod; }
    double _PitchAt(double t) const { return pitchAmplitude * std::sin(_Phase() * t); }
};

// The angle of the rotation that takes one orientation to the other, radians;
// exact for small angles, where the tests look.
inline double AngleBetween(const Quaternion& a, const Quaternion& b)
{
    const Quaternion d = a.Conjugate() * b;
    return 2 * std::atan2(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), std::fabs(d.w));
}

} // namespace TalmexTest
