#include "ReportListener.h"

#include <arpa/inet.h>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace TalmexBench {

ReportListener::ReportListener()
{
    const int socket = _client.Descriptor();
    const int enable = 1;
    setsockopt(socket, SOL_SOCKET, SO_TIMESTAMPNS, &enable, sizeof enable);
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
    iovec part = {datagram, sizeof datagram};
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (recvmsg(_client.Descriptor(), &message, 0) < 0) {
        return std::nullopt;
    }
    for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr;
         item = CMSG_NXTHDR(&message, item)) {
        if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp;
            std::memcpy(&stamp, CMSG_DATA(item), sizeof stamp);
            return static_cast<int64_t>(stamp.tv_sec) * 1000000000 + stamp.tv_nsec;
        }
    }
    return std::nullopt;
}

} // namespace TalmexBench
