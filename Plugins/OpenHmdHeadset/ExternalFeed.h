#pragma once

#include "ReplaySource.h"

#include <openhmd.h>

#include <memory>
#include <string>

namespace OpenHmdHeadset {

// The External device's test mode: a recording's angular velocity,
// acceleration and magnetometer go into OpenHMD's own sensor fusion in the
// recording's timing, once through, and the recording's orientation is the
// truth to compare OpenHMD's with. The fusion starts level, so a recording
// that does not start level is followed from its first orientation on.
class ExternalFeed {
public:
    // The recording at the path; null, with the reason, when it cannot serve.
    static std::unique_ptr<ExternalFeed> Load(const std::string& path, std::string& error);

    // The recording's first sample is due at the given time (seconds).
    void Start(double seconds) { _start = seconds; }
    // Feeds the device every sample due by then, in order; true when any was.
    bool FeedUpTo(double seconds, ohmd_device* device);

    bool HasFed() const { return _fed > 0; }
    // The last sample fed, and when it was due. Only once HasFed().
    const Headsets::Sample& LastFed() const { return _replay->SampleOf(_fed - 1); }
    double LastFedSeconds() const { return _start + _replay->SecondsOf(_fed - 1); }

private:
    explicit ExternalFeed(std::unique_ptr<Headsets::ReplaySource> replay)
        : _replay(std::move(replay))
    {
    }

    std::unique_ptr<Headsets::ReplaySource> _replay;
    double _start = 0;
    size_t _fed = 0;
};

} // namespace OpenHmdHeadset
