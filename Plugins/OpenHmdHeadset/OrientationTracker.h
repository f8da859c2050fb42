#pragma once

#include "Quaternion.h"

#include <array>
#include <cstddef>

namespace OpenHmdHeadset {

using Headsets::Quaternion;
using Headsets::Vector3;

// The head sensor's orientation as the headset reports it, from the
// orientations OpenHMD measures: a reset turns the current one into the
// reference, and the angular velocity is the one that best explains the
// orientations of the last few milliseconds. Keeps a fixed number of them:
// nothing is allocated as orientations come in.
class OrientationTracker {
public:
    // How far back the angular velocity looks, and how close in time two
    // orientations may be before the later one replaces the earlier.
    static constexpr double kWindowSeconds = 0.025;
    static constexpr double kMinimumSpacingSeconds = 0.001;

    // An orientation measured at the given time (seconds, never going back),
    // in OpenHMD's order: x, y, z, w.
    void Add(double seconds, const float (&xyzw)[4]);
    // Forgets every orientation and the reset.
    void Clear();
    // From now on the current orientation reads as the identity. Reset as
    // the inverse on the sensor's side, so that with the head pitched at the
    // reset, turning about the vertical afterwards reads as a pure yaw.
    void Reset();

    bool HasOrientation() const { return _count > 0; }
    Quaternion Orientation() const;
    // Head frame, radians per second; false until two orientations span time.
    bool AngularVelocity(Vector3& velocity) const;

private:
    struct Timed {
        double seconds;
        Quaternion orientation;
    };
    static constexpr size_t kCapacity = 32;
    static_assert(kCapacity > kWindowSeconds / kMinimumSpacingSeconds + 1, "the window fits");

    const Timed& _Latest() const { return _ring[(_next + kCapacity - 1) % kCapacity]; }

    std::array<Timed, kCapacity> _ring{};
    size_t _next = 0;
    size_t _count = 0;
    // Applied on the right of every measured orientation.
    Quaternion _reset = Quaternion::Identity();
};

} // namespace OpenHmdHeadset
