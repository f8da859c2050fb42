#pragma once

#include "SampleSource.h"

namespace SimulatedHeadset {

using Headsets::Sample;
using Headsets::SampleSource;

// A 1280 x 800 display with its lens geometry in metres, and one head sensor
// following HeadMotion: gravity and the earth's field turned with the head.
class SyntheticSource : public SampleSource {
public:
    void SampleAt(double t, Sample& sample) const override;
};

} // namespace SimulatedHeadset
