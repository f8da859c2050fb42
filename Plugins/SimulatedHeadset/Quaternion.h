#pragma once

#include <cmath>

namespace SimulatedHeadset
{

struct Vector3 {
    double x, y, z;
};

// A unit quaternion for rotations; head frame: x right, y up, z backwards.
struct Quaternion {
    double w, x, y, z;

    static Quaternion Identity() { return {1, 0, 0, 0}; }

    static Quaternion AboutAxis(const Vector3 &axis, double angle)
    {
        const double s = std::sin(angle / 2);
        return {std::cos(angle / 2), axis.x * s, axis.y * s, axis.z * s};
    }

    Quaternion Conjugate() const { return {w, -x, -y, -z}; }

    Quaternion operator*(const Quaternion &q) const
    {
        return {w * q.w - x * q.x - y * q.y - z * q.z, w * q.x + x * q.w + y * q.z - z * q.y,
                w * q.y - x * q.z + y * q.w + z * q.x, w * q.z + x * q.y - y * q.x + z * q.w};
    }

    // The world vector v seen from a frame turned by this rotation.
    Vector3 ToLocal(const Vector3 &v) const
    {
        const Quaternion local = Conjugate() * Quaternion{0, v.x, v.y, v.z} * *this;
        return {local.x, local.y, local.z};
    }
};

} // namespace SimulatedHeadset
