#pragma once

#include "Support/ProtocolBytes.h"

#include <cstdint>
#include <optional>

namespace TalmexTest {

// A UDP client on its own loopback port, talking to the agent on loopback.
class UdpClient {
public:
    // Bound to the given local IPv4 address and port (0: an ephemeral one).
    explicit UdpClient(const char* address = "127.0.0.1", uint16_t port = 0);
    ~UdpClient();

    UdpClient(const UdpClient&) = delete;
    UdpClient& operator=(const UdpClient&) = delete;

    // Flags as for sendto: MSG_DONTWAIT for a sender that must never block.
    bool Send(const Bytes& datagram, uint16_t port, int flags = 0);
    // The next datagram, or nothing when none came within the time.
    std::optional<Bytes> Receive(int timeoutMilliseconds);
    // Throws away what has arrived so far.
    void Drain();
    int Descriptor() const { return _socket; } // for socket options of a caller's own
    // The local port it is bound to.
    uint16_t Port() const;

private:
    int _socket;
};

// A socket holding a UDP port on the wildcard address, as another program
// would, so that the agent cannot bind it.
class PortBlocker {
public:
    explicit PortBlocker(uint16_t port);
    ~PortBlocker();

    PortBlocker(const PortBlocker&) = delete;
    PortBlocker& operator=(const PortBlocker&) = delete;

    bool IsHolding() const { return _isHolding; }
    void Release();

private:
    int _socket;
    bool _isHolding = false;
};

// Sends one datagram to a loopback port with a made-up source port, through a
// raw socket; false where raw sockets are not allowed.
bool SendForged(const Bytes& datagram, uint16_t sourcePort, uint16_t port);

// Sends the datagram every 50 ms until a report comes back, for at most
// about five seconds; gives the first report.
std::optional<Bytes> ConnectTo(UdpClient& client, uint16_t port, const Bytes& datagram);

} // namespace TalmexTest
