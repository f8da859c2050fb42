// Feeds arbitrary datagrams to the request decoder, as the channel thread
// would after the magic check, against one long-lived channel so that header
// state carries from one input to the next.

#include "Agent/Device.h"
#include "Protocol/Header.h"

#include <cstddef>
#include <cstdint>

namespace {

using Talmex::Singleton;
using Talmex::Agent::Channel;
using Talmex::Agent::Device;
using Talmex::Agent::Stream;

Channel _channel;
Stream _stream;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    _stream.Clear();
    _stream.Write(Talmex::Protocol::kMagic, sizeof Talmex::Protocol::kMagic);
    _stream.Write(data, size);
    Device& device = Singleton<Device>::_instance;
    device.ReadFrom(_stream, _channel);
    // A report after every request, as the service would send.
    _stream.Clear();
    device.WriteTo(_stream, _channel);
    return 0;
}
