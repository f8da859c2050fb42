#pragma once

#include "Protocol/Report.h"

namespace Headsets {

// What the headset measures at one instant, before the host's commands
// (reset, drift, prediction) act on it: display values and, for each sensor,
// its orientation, angular velocity, acceleration and magnetometer with the
// flags that say which are valid. The report structure holds exactly that.
using Sample = Talmex::Protocol::Report;

class SampleSource {
public:
    virtual ~SampleSource() = default;
    // The sample at t seconds after the headset started.
    virtual void SampleAt(double t, Sample& sample) const = 0;
};

} // namespace Headsets
