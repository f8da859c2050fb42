#pragma once

#include "SampleSource.h"

#include <memory>
#include <string>
#include <vector>

namespace SimulatedHeadset
{

// The reports of a recording, served in their recorded timing and looped:
// a recorded session played back through the headset.
class ReplaySource : public SampleSource
{
public:
    // The recording at the path; null, with the reason, when it cannot serve.
    static std::unique_ptr<ReplaySource> Load(const std::string &path, std::string &error);

    void SampleAt(double t, Sample &sample) const override;

private:
    struct Timed {
        double seconds;
        Sample sample;
    };

    std::vector<Timed> _samples; // by time, the first at 0
    double _duration = 0;
};

} // namespace SimulatedHeadset
