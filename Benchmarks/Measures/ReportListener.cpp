#include "ReportListener.h"

#include "Client/KernelStamp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace TalmexBench {

ReportListener::ReportListener()
{
    const int socket = _client.Descriptor();
    Talmex::Client::EnableKernelStamps(socket);
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        _port = ntohs(local.sin_port);
    }
}

std::optional<int64_t> ReportListener::Receive(int timeoutMilliseconds)
{
    pollfd ready = {_client.Descriptor(), POLLIN, 0};
    if (poll(&ready, 1, timeoutMilliseconds) != 1) {
        return std::nullopt;
    }
    unsigned char datagram[512];
    std::optional<timespec> arrived;
    if (Talmex::Client::ReceiveStamped(_client.Descriptor(), datagram, sizeof datagram, 0,
                                       arrived) < 0 ||
        !arrived) {
        return std::nullopt;
    }
    return static_cast<int64_t>(arrived->tv_sec) * 1000000000 + arrived->tv_nsec;
}

} // namespace TalmexBench
