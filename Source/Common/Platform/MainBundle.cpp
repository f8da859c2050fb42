#include "Common/Platform/MainBundle.h"

#include <climits>
#include <unistd.h>

namespace Talmex {
namespace Platform {

std::string MainBundlePath()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) == sizeof path) {
        return std::string();
    }
    const std::string executable(path, static_cast<size_t>(length));
    const size_t separator = executable.rfind('/');
    if (separator == std::string::npos) {
        return std::string();
    }
    // The root directory keeps its one separator.
    return executable.substr(0, separator == 0 ? 1 : separator);
}

} // namespace Platform
} // namespace Talmex
