#include "Support/MotionRecording.h"

#include "Earth.h"
#include "Protocol/Recording.h"
#include "Protocol/Report.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace TalmexTest {

namespace {

constexpr Vector3 kUp = {0, 1, 0};
constexpr Vector3 kRight = {1, 0, 0};

template <size_t N>
void Store(const double (&from)[N], float (&to)[N])
{
    std::copy(from, from + N, to);
}

void Store(const Vector3& v, float (&to)[3])
{
    Store({v.x, v.y, v.z}, to);
}

} // namespace

Quaternion PitchThenYaw::OrientationAt(double t) const
{
    const double pitching = std::min(t, pitchSeconds);
    const double yawing = std::max(t - pitchSeconds, 0.0);
    return Quaternion::AboutAxis(kUp, yawRate * yawing) *
           Quaternion::AboutAxis(kRight, pitchRate * pitching);
}

double PitchThenYaw::TimeOf(const Quaternion& q) const
{
    // yaw(b) * pitch(a) has w = cos(b/2) cos(a/2), x = cos(b/2) sin(a/2) and
    // y = sin(b/2) cos(a/2).
    const double pitch = 2 * std::atan2(q.x, q.w);
    const double yaw = 2 * std::atan2(q.y, q.w);
    if (yawRate != 0 && std::fabs(yaw) > 1e-9) {
        return pitchSeconds + yaw / yawRate;
    }
    return pitchRate != 0 ? pitch / pitchRate : 0;
}

Vector3 PitchThenYaw::AngularVelocityBefore(double t) const
{
    if (t <= pitchSeconds) {
        return {pitchRate, 0, 0};
    }
    return OrientationAt(t).ToLocal({0, yawRate, 0});
}

bool WriteMotionRecording(const std::string& path, const PitchThenYaw& motion, double seconds,
                          double period)
{
    using namespace Talmex::Protocol;
    std::vector<unsigned char> bytes;
    AppendRecordingHeader(0, bytes);
    Report report;
    report.display.hmdPresent = true;
    report.sensorCount = 1;
    SensorState& s = report.sensors[0];
    s.present = s.orientationValid = s.accelerationValid = true;
    s.angularVelocityOrMagnetometerValid = true;
    const long count = std::lround(seconds / period) + 1;
    for (long i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) * period;
        const Quaternion q = motion.OrientationAt(t);
        Store({q.w, q.x, q.y, q.z}, s.orientation);
        Store(motion.AngularVelocityBefore(t), s.angularVelocity);
        Store(q.ToLocal(Headsets::kGravity), s.acceleration);
        Store(q.ToLocal(Headsets::kEarthField), s.magnetometer);
        BlockWriter writer;
        Stream stream;
        WriteReport(report, writer, stream);
        AppendRecord(static_cast<uint64_t>(std::llround(t * 1e6)), stream.Data(), stream.Size(),
                     bytes);
    }
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace TalmexTest
