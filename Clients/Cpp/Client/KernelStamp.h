#pragma once

#include <ctime>
#include <optional>
#include <sys/types.h>

namespace Talmex {
namespace Client {

// Asks the kernel to stamp each datagram the socket receives (SO_TIMESTAMPNS),
// so that arrival times are the sender's and not those of the receiver's own
// scheduling. False where the system refuses.
bool EnableKernelStamps(int socket);

// Receives one datagram, as recv does with these flags, and gives the
// kernel's wall-clock stamp of its arrival, or nothing where it gave none.
ssize_t ReceiveStamped(int socket, void* buffer, size_t size, int flags,
                       std::optional<timespec>& arrived);

} // namespace Client
} // namespace Talmex
