#include "OrientationTracker.h"

namespace OpenHmdHeadset {

void OrientationTracker::Add(double seconds, const float (&xyzw)[4])
{
    const Timed sample = {seconds, {xyzw[3], xyzw[0], xyzw[1], xyzw[2]}};
    if (_count > 0 && seconds - _Latest().seconds < kMinimumSpacingSeconds) {
        _ring[(_next + kCapacity - 1) % kCapacity] = sample;
        return;
    }
    _ring[_next] = sample;
    _next = (_next + 1) % kCapacity;
    if (_count < kCapacity) {
        ++_count;
    }
}

void OrientationTracker::Clear()
{
    *this = OrientationTracker();
}

void OrientationTracker::Reset()
{
    if (_count > 0) {
        _reset = _Latest().orientation.Conjugate();
    }
}

Quaternion OrientationTracker::Orientation() const
{
    return _count > 0 ? _Latest().orientation * _reset : Quaternion::Identity();
}

bool OrientationTracker::AngularVelocity(Vector3& velocity) const
{
    if (_count == 0) {
        return false;
    }
    // Each orientation in the window as the turn from the latest, in the
    // latest's frame: for a steady turn these lie on a line through time,
    // whose slope is the angular velocity.
    const Timed& latest = _Latest();
    const Quaternion toLatest = latest.orientation.Conjugate();
    double times[kCapacity];
    Vector3 turns[kCapacity];
    size_t n = 0;
    double meanTime = 0;
    Vector3 meanTurn = {0, 0, 0};
    for (size_t k = 1; k <= _count; ++k) {
        const Timed& s = _ring[(_next + kCapacity - k) % kCapacity];
        if (latest.seconds - s.seconds > kWindowSeconds) {
            break;
        }
        times[n] = s.seconds - latest.seconds;
        turns[n] = (toLatest * s.orientation).RotationVector();
        meanTime += times[n];
        meanTurn = {meanTurn.x + turns[n].x, meanTurn.y + turns[n].y, meanTurn.z + turns[n].z};
        ++n;
    }
    if (n < 2) {
        return false;
    }
    const double count = static_cast<double>(n);
    meanTime /= count;
    meanTurn = {meanTurn.x / count, meanTurn.y / count, meanTurn.z / count};
    double spread = 0;
    Vector3 slope = {0, 0, 0};
    for (size_t i = 0; i < n; ++i) {
        const double dt = times[i] - meanTime;
        spread += dt * dt;
        slope = {slope.x + dt * (turns[i].x - meanTurn.x), slope.y + dt * (turns[i].y - meanTurn.y),
                 slope.z + dt * (turns[i].z - meanTurn.z)};
    }
    // Seen from the frame the reset leaves: the reset turns the sensor's axes.
    velocity = _reset.ToLocal({slope.x / spread, slope.y / spread, slope.z / spread});
    return true;
}

} // namespace OpenHmdHeadset
