#pragma once

#include "SampleSource.h"

#include <memory>
#include <string>
#include <vector>

namespace Headsets {

// The reports of a recording in their recorded timing, the first at 0: a
// recorded session played back through a headset. As a sample source it
// loops; a headset that feeds the samples on walks them once, in order.
class ReplaySource : public SampleSource {
public:
    // The recording at the path, a regular file; null, with the reason, when
    // it cannot serve. Never throws.
    static std::unique_ptr<ReplaySource> Load(const std::string& path, std::string& error);

    void SampleAt(double t, Sample& sample) const override;

    size_t Count() const { return _samples.size(); }
    // How many reports were received at or before t, without looping.
    size_t CountUpTo(double t) const;
    double SecondsOf(size_t index) const { return _samples[index].seconds; }
    const Sample& SampleOf(size_t index) const { return _samples[index].sample; }

private:
    static std::unique_ptr<ReplaySource> _Load(const std::string& path, std::string& error);

    struct Timed {
        double seconds;
        Sample sample;
    };

    std::vector<Timed> _samples; // by time, the first at 0
    double _duration = 0;
};

} // namespace Headsets
