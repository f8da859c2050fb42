#include "ExternalFeed.h"

namespace OpenHmdHeadset {

std::unique_ptr<ExternalFeed> ExternalFeed::Load(const std::string& path, std::string& error)
{
    std::unique_ptr<Headsets::ReplaySource> replay = Headsets::ReplaySource::Load(path, error);
    if (!replay) {
        return nullptr;
    }
    return std::unique_ptr<ExternalFeed>(new ExternalFeed(std::move(replay)));
}

bool ExternalFeed::FeedUpTo(double seconds, ohmd_device* device)
{
    const size_t due = _replay->CountUpTo(seconds - _start);
    const bool feeds = due > _fed;
    for (; _fed < due; ++_fed) {
        const Talmex::Protocol::SensorState& s = _replay->SampleOf(_fed).sensors[0];
        const double dt = _fed == 0 ? 0 : _replay->SecondsOf(_fed) - _replay->SecondsOf(_fed - 1);
        // Time step, gyroscope, accelerometer, magnetometer.
        const float values[10] = {static_cast<float>(dt), s.angularVelocity[0],
                                  s.angularVelocity[1],   s.angularVelocity[2],
                                  s.acceleration[0],      s.acceleration[1],
                                  s.acceleration[2],      s.magnetometer[0],
                                  s.magnetometer[1],      s.magnetometer[2]};
        ohmd_device_setf(device, OHMD_EXTERNAL_SENSOR_FUSION, values);
    }
    return feeds;
}

} // namespace OpenHmdHeadset
