#include "Client/HeadsetState.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

using Talmex::Client::YawPitchRollOf;

// q = yaw about y, then pitch about x, then roll about z.
void Orientation(double yaw, double pitch, double roll, float (&q)[4])
{
    const double r = 3.14159265358979323846 / 360;
    const double cy = std::cos(yaw * r), sy = std::sin(yaw * r);
    const double cp = std::cos(pitch * r), sp = std::sin(pitch * r);
    const double cr = std::cos(roll * r), sr = std::sin(roll * r);
    q[0] = static_cast<float>(cy * cp * cr + sy * sp * sr);
    q[1] = static_cast<float>(cy * sp * cr + sy * cp * sr);
    q[2] = static_cast<float>(sy * cp * cr - cy * sp * sr);
    q[3] = static_cast<float>(cy * cp * sr - sy * sp * cr);
}

TEST(HeadsetStateTest, YawPitchRollInDegreesComeBackFromTheOrientation)
{
    const double cases[][3] = {{0, 0, 0}, {30, 0, 0}, {0, -20, 0}, {0, 0, 10}, {-120, 45, -60}};
    for (const auto& c : cases) {
        float q[4];
        Orientation(c[0], c[1], c[2], q);
        const auto angles = YawPitchRollOf(q);
        EXPECT_NEAR(angles.yaw, c[0], 1e-3);
        EXPECT_NEAR(angles.pitch, c[1], 1e-3);
        EXPECT_NEAR(angles.roll, c[2], 1e-3);
    }
}

} // namespace
