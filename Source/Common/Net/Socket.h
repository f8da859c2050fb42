#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <cstring>
#include <linux/filter.h>
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

// Has the kernel drop every datagram but those from the given sender, before
// they are queued: while one client is served, a flood from anyone else then
// costs the service nothing. False where the system has no socket filters.
inline bool AcceptOnlyFrom(int socket, const sockaddr_in& sender)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 0), // the UDP source port
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ntohs(sender.sin_port), 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, static_cast<uint32_t>(SKF_NET_OFF + 12)), // IPv4 source
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ntohl(sender.sin_addr.s_addr), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xFFFFFFFF),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    const sock_fprog program = {static_cast<unsigned short>(sizeof code / sizeof code[0]), code};
    return setsockopt(socket, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

inline void AcceptFromAnyone(int socket)
{
    int unused = 0;
    setsockopt(socket, SOL_SOCKET, SO_DETACH_FILTER, &unused, sizeof unused);
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
