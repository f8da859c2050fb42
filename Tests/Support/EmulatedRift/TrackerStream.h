#pragma once

#include "EmulatedRiftMotion.h"
#include "RiftReports.h"

#include <cstdint>

namespace TalmexTest {

// The tracker messages of one opened device: a sample of the motion every
// millisecond of sensor time, sample k standing for the millisecond that ends
// at k + 1 ms, handed out up to three to a message once it is due. Samples a
// reader leaves waiting for more than a second are dropped, oldest first.
class TrackerStream {
public:
    static constexpr int64_t kSamplePeriod = 1000000; // nanoseconds
    static constexpr int64_t kBacklog = 1000;         // samples

    explicit TrackerStream(const EmulatedRiftMotion& motion) : _motion(motion) {}

    // The next message of the samples due elapsed nanoseconds after the open,
    // in message; false when none is due.
    bool Next(int64_t elapsed, Rift::TrackerMessage* message);
    // When the next sample falls due, nanoseconds after the open.
    int64_t NextDue() const { return (_next + 1) * kSamplePeriod; }
    // Sensor time of the newest sample handed out, seconds; 0 before any.
    double SensorTime() const { return static_cast<double>(_next) * kSamplePeriod * 1e-9; }

private:
    void _Sample(int64_t index, int slot, Rift::TrackerMessage* message);

    EmulatedRiftMotion _motion;
    int64_t _next = 0;
    // What rounding left out of the angular velocity so far, carried into the
    // next sample so that the integral of the samples stays on the motion.
    double _angularRemainder[3] = {};
};

} // namespace TalmexTest
