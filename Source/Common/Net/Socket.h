#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

// Thin wrappers over the BSD socket calls of the channel service. They add
// nothing but the argument plumbing: results and errno are the system's.
namespace Talmex {
namespace Net {

constexpr int kInvalidSocket = -1;

// A non-blocking IPv4 UDP socket, or kInvalidSocket.
inline int CreateUdpSocket()
{
    const int socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket != kInvalidSocket) {
        int nonBlocking = 1;
        ioctl(socket, FIONBIO, &nonBlocking);
    }
    return socket;
}

// Asks for a receive buffer of the given size: forced where the process may,
// else as far as the system's limit allows. Results are the system's to keep.
inline void EnlargeReceiveBuffer(int socket, int bytes)
{
    if (setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
        setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
}

// Binds to the wildcard address, so every IPv4 interface reaches the socket.
inline bool BindAnyAddress(int socket, uint16_t port)
{
    sockaddr_in address;
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    return bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// Bytes received, or -1 when nothing could be received.
inline ssize_t ReceiveFrom(int socket, void* buffer, size_t size, sockaddr_in& sender)
{
    socklen_t length = sizeof sender;
    return recvfrom(socket, buffer, size, 0, reinterpret_cast<sockaddr*>(&sender), &length);
}

inline ssize_t SendTo(int socket, const void* data, size_t size, const sockaddr_in& destination)
{
    return sendto(socket, data, size, 0, reinterpret_cast<const sockaddr*>(&destination),
                  sizeof destination);
}

inline void Close(int socket)
{
    close(socket);
}

} // namespace Net
} // namespace Talmex
