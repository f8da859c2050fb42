#pragma once

#include "Quaternion.h"

namespace Headsets {

// How far ahead a headset predicts unless the host says otherwise, and the
// furthest it accepts, in seconds.
constexpr double kDefaultPredictionSeconds = 0.03;
constexpr double kMaxPredictionSeconds = 0.5;

inline bool IsPredictionTime(double seconds)
{
    return seconds >= 0 && seconds <= kMaxPredictionSeconds;
}

// The orientation after the given seconds if the head keeps turning at the
// angular velocity w (head frame, radians per second).
inline Quaternion Extrapolate(const Quaternion& now, const Vector3& w, double seconds)
{
    return now * Quaternion::FromRotationVector({w.x * seconds, w.y * seconds, w.z * seconds});
}

} // namespace Headsets
