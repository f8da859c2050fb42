#include "Monitor/PoseBridge.h"

#include "Protocol/Coding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Talmex {
namespace Monitor {

namespace {

void _EncodeDouble(unsigned char* bytes, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Protocol::EncodeFixed32(bytes, static_cast<uint32_t>(bits));
    Protocol::EncodeFixed32(bytes + 4, static_cast<uint32_t>(bits >> 32));
}

// The hub's datagram for these angles of ours, with x, y and z at 0. The hub
// turns the view right for positive yaw and tilts it right for positive roll,
// the other way from ours, so those two change sign; pitch looks up on both.
void _EncodePose(const Client::YawPitchRoll& angles,
                 unsigned char (&datagram)[PoseBridge::kDatagramSize])
{
    const double values[] = {0, 0, 0, -angles.yaw, angles.pitch, -angles.roll};
    for (size_t i = 0; i < 6; ++i) {
        _EncodeDouble(datagram + 8 * i, values[i]);
    }
}

} // namespace

PoseBridge::~PoseBridge()
{
    if (_socket != -1) {
        close(_socket);
    }
}

bool PoseBridge::Open(const std::string& host, uint16_t port, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (result != 0) {
        error = "cannot resolve " + host + ": " + gai_strerror(result);
        return false;
    }
    _socket = socket(found->ai_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int failure = errno;
    std::memcpy(&_hub, found->ai_addr, std::min<size_t>(found->ai_addrlen, sizeof _hub));
    _hubSize = static_cast<socklen_t>(std::min<size_t>(found->ai_addrlen, sizeof _hub));
    freeaddrinfo(found);
    if (_socket == -1) {
        error = "cannot open a socket to " + host + ": " + std::strerror(failure);
        return false;
    }
    _Connect();
    return true;
}

bool PoseBridge::_Connect()
{
    // Connected, so that the kernel tells of a closed port or an unreachable
    // host on the next send, where it is counted. A network out of reach
    // refuses the connection itself: it is tried again at the next send.
    _isConnected =
        _isConnected || connect(_socket, reinterpret_cast<const sockaddr*>(&_hub), _hubSize) == 0;
    return _isConnected;
}

void PoseBridge::Send(const Client::HeadsetState& report)
{
    unsigned char datagram[kDatagramSize];
    _EncodePose(Client::YawPitchRollOf(report.sensors[0].orientation), datagram);
    if (_Connect() && send(_socket, datagram, sizeof datagram, MSG_DONTWAIT | MSG_NOSIGNAL) ==
                          static_cast<ssize_t>(sizeof datagram)) {
        ++_sent;
    } else {
        ++_failed;
    }
}

} // namespace Monitor
} // namespace Talmex
