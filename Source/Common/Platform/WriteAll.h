#pragma once

#include <cerrno>
#include <cstddef>
#include <unistd.h>

namespace Talmex {
namespace Platform {

// Writes all `size` bytes, in as many calls as the descriptor takes.
inline bool WriteAll(int descriptor, const void* bytes, size_t size)
{
    const char* next = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = write(descriptor, next, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        next += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace Platform
} // namespace Talmex
