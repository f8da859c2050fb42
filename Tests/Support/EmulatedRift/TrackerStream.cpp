#include "TrackerStream.h"

#include <algorithm>
#include <cmath>

namespace TalmexTest {

namespace {

int32_t _Quantize(double value)
{
    const double units = std::round(value / Rift::kSampleUnit);
    return static_cast<int32_t>(std::clamp<double>(units, -Rift::kSampleLimit, Rift::kSampleLimit));
}

} // namespace

bool TrackerStream::Next(int64_t elapsed, Rift::TrackerMessage* message)
{
    const int64_t due = elapsed / kSamplePeriod;
    _next = std::max(_next, due - kBacklog);
    const int64_t count = std::min<int64_t>(due - _next, Rift::kSamplesPerMessage);
    if (count <= 0) {
        return false;
    }
    message->sampleCount = static_cast<uint8_t>(count);
    for (int slot = 0; slot < count; ++slot) {
        _Sample(_next + slot, slot, message);
    }
    _next += count;
    // The device counts milliseconds in 16 bits.
    message->timestamp = static_cast<uint16_t>(_next * kSamplePeriod / 1000000);
    const Vector3 field = _motion.MagneticFieldAt(SensorTime());
    const double fieldValues[] = {field.x, field.y, field.z};
    for (int axis = 0; axis < 3; ++axis) {
        message->magneticField[axis] = static_cast<int16_t>(
            std::clamp<int32_t>(_Quantize(fieldValues[axis]), INT16_MIN, INT16_MAX));
    }
    return true;
}

void TrackerStream::_Sample(int64_t index, int slot, Rift::TrackerMessage* message)
{
    const double end = static_cast<double>((index + 1) * kSamplePeriod) * 1e-9;
    // The rate over the sample's millisecond is best told by its middle.
    const Vector3 rate = _motion.AngularVelocityAt(end - kSamplePeriod * 0.5e-9);
    const Vector3 acceleration = _motion.AccelerationAt(end);
    const double rates[] = {rate.x, rate.y, rate.z};
    const double accelerations[] = {acceleration.x, acceleration.y, acceleration.z};
    for (int axis = 0; axis < 3; ++axis) {
        const double wanted = rates[axis] + _angularRemainder[axis];
        const int32_t sent = _Quantize(wanted);
        _angularRemainder[axis] = wanted - sent * Rift::kSampleUnit;
        message->angularVelocity[slot][axis] = sent;
        message->acceleration[slot][axis] = _Quantize(accelerations[axis]);
    }
}

} // namespace TalmexTest
