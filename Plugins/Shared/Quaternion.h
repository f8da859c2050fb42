#pragma once

#include <cmath>

namespace Headsets {

struct Vector3 {
    double x, y, z;

    double Length() const { return std::sqrt(x * x + y * y + z * z); }
};

// A unit quaternion for rotations; head frame: x right, y up, z backwards.
struct Quaternion {
    double w, x, y, z;

    static Quaternion Identity() { return {1, 0, 0, 0}; }

    static Quaternion AboutAxis(const Vector3& axis, double angle)
    {
        const double s = std::sin(angle / 2);
        return {std::cos(angle / 2), axis.x * s, axis.y * s, axis.z * s};
    }

    // The turn by |v| radians about the direction of v.
    static Quaternion FromRotationVector(const Vector3& v)
    {
        const double angle = v.Length();
        if (angle == 0) {
            return Identity();
        }
        return AboutAxis({v.x / angle, v.y / angle, v.z / angle}, angle);
    }

    Quaternion Conjugate() const { return {w, -x, -y, -z}; }

    Quaternion operator*(const Quaternion& q) const
    {
        return {w * q.w - x * q.x - y * q.y - z * q.z, w * q.x + x * q.w + y * q.z - z * q.y,
                w * q.y - x * q.z + y * q.w + z * q.x, w * q.z + x * q.y - y * q.x + z * q.w};
    }

    // The world vector v seen from a frame turned by this rotation.
    Vector3 ToLocal(const Vector3& v) const
    {
        const Quaternion local = Conjugate() * Quaternion{0, v.x, v.y, v.z} * *this;
        return {local.x, local.y, local.z};
    }

    // The axis times the angle of this rotation, the angle in [0, pi]: the
    // inverse of FromRotationVector.
    Vector3 RotationVector() const
    {
        // q and -q are the same rotation; the one with w >= 0 turns the short way.
        const double sign = w < 0 ? -1 : 1;
        const double sine = std::sqrt(x * x + y * y + z * z);
        if (sine == 0) {
            return {0, 0, 0};
        }
        const double angle = 2 * std::atan2(sine, sign * w);
        const double scale = sign * angle / sine;
        return {x * scale, y * scale, z * scale};
    }

    // The angle of the rotation that takes this one to q, radians.
    double AngleTo(const Quaternion& q) const
    {
        return (Conjugate() * q).RotationVector().Length();
    }
};

} // namespace Headsets
