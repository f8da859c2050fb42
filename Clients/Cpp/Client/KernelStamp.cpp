#include "Client/KernelStamp.h"

#include <cstring>
#include <sys/socket.h>

namespace Talmex {
namespace Client {

bool EnableKernelStamps(int socket)
{
    const int on = 1;
    return setsockopt(socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0;
}

ssize_t ReceiveStamped(int socket, void* buffer, size_t size, int flags,
                       std::optional<timespec>& arrived)
{
    iovec part = {buffer, size};
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = recvmsg(socket, &message, flags);
    arrived.reset();
    for (cmsghdr* item = length < 0 ? nullptr : CMSG_FIRSTHDR(&message); item != nullptr;
         item = CMSG_NXTHDR(&message, item)) {
        if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp;
            std::memcpy(&stamp, CMSG_DATA(item), sizeof stamp);
            arrived = stamp;
        }
    }
    return length;
}

} // namespace Client
} // namespace Talmex
