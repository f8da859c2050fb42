#pragma once

#include "Client/HeadsetState.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/socket.h>

namespace Talmex {
namespace Monitor {

// Passes the head's pose on to a head-tracking hub, in the "UDP over network"
// form that the widely used hub for games and simulators (and many tools
// after it) reads: one 48-byte datagram of six little-endian doubles, x, y, z
// in centimetres and yaw, pitch, roll in degrees.
class PoseBridge {
public:
    static constexpr size_t kDatagramSize = 48;

    PoseBridge() = default;
    ~PoseBridge();

    PoseBridge(const PoseBridge&) = delete;
    PoseBridge& operator=(const PoseBridge&) = delete;

    // False, with the reason, when the host cannot be resolved or no socket
    // can be opened. A host out of reach is no reason: its sends fail, and
    // are counted, until it can be reached.
    bool Open(const std::string& host, uint16_t port, std::string& error);
    // One datagram for the report's sensor 0; a send that fails is counted,
    // never waited for.
    void Send(const Client::HeadsetState& report);

    uint64_t Sent() const { return _sent; }
    uint64_t Failed() const { return _failed; }

private:
    bool _Connect();

    int _socket = -1;
    sockaddr_storage _hub = {};
    socklen_t _hubSize = 0;
    bool _isConnected = false;
    uint64_t _sent = 0;
    uint64_t _failed = 0;
};

} // namespace Monitor
} // namespace Talmex
