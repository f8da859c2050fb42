#include "HeadMotion.h"

#include <cmath>

namespace SimulatedHeadset {

namespace {

constexpr double kPi = 3.14159265358979323846;

double Sway(double t, double amplitude, double period, double phase)
{
    return amplitude * std::sin(2 * kPi * t / period + phase);
}

} // namespace

Quaternion HeadMotion::OrientationAt(double t)
{
    const double yaw = Sway(t, 0.6, 10.0, 0.0);
    const double pitch = Sway(t, 0.25, 7.7, 0.5);
    const double roll = Sway(t, 0.1, 14.3, 1.0);
    return Quaternion::AboutAxis({0, 1, 0}, yaw) * Quaternion::AboutAxis({1, 0, 0}, pitch) *
           Quaternion::AboutAxis({0, 0, 1}, roll);
}

Vector3 HeadMotion::AngularVelocityAt(double t)
{
    // omega = 2 conj(q) dq/dt, with dq/dt from a central difference.
    constexpr double h = 1e-4;
    const Quaternion before = OrientationAt(t - h);
    const Quaternion after = OrientationAt(t + h);
    const Quaternion derivative{(after.w - before.w) / (2 * h), (after.x - before.x) / (2 * h),
                                (after.y - before.y) / (2 * h), (after.z - before.z) / (2 * h)};
    const Quaternion omega = OrientationAt(t).Conjugate() * derivative;
    return {2 * omega.x, 2 * omega.y, 2 * omega.z};
}

} // namespace SimulatedHeadset
