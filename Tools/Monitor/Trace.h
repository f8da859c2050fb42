#pragma once

#include "Client/HeadsetState.h"
#include "Monitor/Pace.h"

#include <array>
#include <cstddef>

namespace Talmex {
namespace Monitor {

// The latest yaw, pitch and roll of one sensor in degrees, oldest
// overwritten first, for the trace of its recent motion.
class Trace {
public:
    // Half a minute of frames: wider than a terminal shows.
    static constexpr size_t kCapacity = 30 * kFramesPerSecond;

    void Add(const Client::YawPitchRoll& sample);
    size_t Size() const { return _size; }
    // The sample taken age samples before the newest; age < Size().
    const Client::YawPitchRoll& Back(size_t age) const;

private:
    std::array<Client::YawPitchRoll, kCapacity> _samples{};
    size_t _next = 0;
    size_t _size = 0;
};

} // namespace Monitor
} // namespace Talmex
