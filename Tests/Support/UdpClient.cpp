#include "Support/UdpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TalmexTest {

namespace {

sockaddr_in LoopbackAddress(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

} // namespace

UdpClient::UdpClient(const char* address, uint16_t port)
    : _socket(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    inet_pton(AF_INET, address, &local.sin_addr);
    bind(_socket, reinterpret_cast<const sockaddr*>(&local), sizeof local);
}

UdpClient::~UdpClient()
{
    close(_socket);
}

uint16_t UdpClient::Port() const
{
    sockaddr_in local{};
    socklen_t size = sizeof local;
    getsockname(_socket, reinterpret_cast<sockaddr*>(&local), &size);
    return ntohs(local.sin_port);
}

bool UdpClient::Send(const Bytes& datagram, uint16_t port, int flags)
{
    const sockaddr_in address = LoopbackAddress(port);
    return sendto(_socket, datagram.data(), datagram.size(), flags,
                  reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) == static_cast<ssize_t>(datagram.size());
}

std::optional<Bytes> UdpClient::Receive(int timeoutMilliseconds)
{
    pollfd ready = {_socket, POLLIN, 0};
    if (poll(&ready, 1, timeoutMilliseconds) != 1) {
        return std::nullopt;
    }
    Bytes datagram(65536);
    const ssize_t size = recv(_socket, datagram.data(), datagram.size(), 0);
    if (size < 0) {
        return std::nullopt;
    }
    datagram.resize(static_cast<size_t>(size));
    return datagram;
}

void UdpClient::Drain()
{
    for (int i = 0; i < 100000 && Receive(0); ++i) {
    }
}

PortBlocker::PortBlocker(uint16_t port) : _socket(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    _isHolding = bind(_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

PortBlocker::~PortBlocker()
{
    Release();
}

void PortBlocker::Release()
{
    if (_socket != -1) {
        close(_socket);
        _socket = -1;
    }
    _isHolding = false;
}

bool SendForged(const Bytes& datagram, uint16_t sourcePort, uint16_t port)
{
    const int raw = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_UDP);
    if (raw == -1) {
        return false;
    }
    // The UDP header by hand; a zero checksum means none over IPv4.
    Bytes packet;
    for (uint16_t field :
         {sourcePort, port, static_cast<uint16_t>(8 + datagram.size()), uint16_t{0}}) {
        packet.push_back(static_cast<unsigned char>(field >> 8));
        packet.push_back(static_cast<unsigned char>(field));
    }
    packet.insert(packet.end(), datagram.begin(), datagram.end());
    const sockaddr_in address = LoopbackAddress(port);
    const bool sent =
        sendto(raw, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&address),
               sizeof address) == static_cast<ssize_t>(packet.size());
    close(raw);
    return sent;
}

std::optional<Bytes> ConnectTo(UdpClient& client, uint16_t port, const Bytes& datagram)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        client.Send(datagram, port);
        if (std::optional<Bytes> report = client.Receive(50)) {
            return report;
        }
    }
    return std::nullopt;
}

} // namespace TalmexTest
