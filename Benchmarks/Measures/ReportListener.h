#pragma once

#include "Support/UdpClient.h"

#include <cstdint>
#include <optional>

namespace TalmexBench {

// A client on loopback that knows when each datagram arrived: the kernel
// stamps it on receipt, so the gaps between reports are the sender's, not
// those of this process's own scheduling.
class ReportListener {
public:
    ReportListener();

    uint16_t Port() const { return _port; }
    bool Send(const TalmexTest::Bytes& datagram, uint16_t port)
    {
        return _client.Send(datagram, port);
    }
    // The arrival time of the next datagram, in nanoseconds of the system
    // clock, or nothing when none came within the time.
    std::optional<int64_t> Receive(int timeoutMilliseconds);

private:
    TalmexTest::UdpClient _client;
    uint16_t _port = 0;
};

} // namespace TalmexBench
