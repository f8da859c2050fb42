#include "Monitor/Trace.h"

namespace Talmex {
namespace Monitor {

void Trace::Add(const Client::YawPitchRoll& sample)
{
    _samples[_next] = sample;
    _next = (_next + 1) % kCapacity;
    if (_size < kCapacity) {
        ++_size;
    }
}

const Client::YawPitchRoll& Trace::Back(size_t age) const
{
    return _samples[(_next + kCapacity - 1 - age % kCapacity) % kCapacity];
}

} // namespace Monitor
} // namespace Talmex
