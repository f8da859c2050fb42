#include "Common/Platform/TemporaryDirectory.h"

#include <cstdlib>

namespace Talmex {
namespace Platform {

std::string TemporaryDirectory()
{
    const char* configured = std::getenv("TMPDIR");
    std::string directory = configured != nullptr && *configured != '\0' ? configured : "/tmp/";
    if (directory.back() != '/') {
        directory += '/';
    }
    return directory;
}

} // namespace Platform
} // namespace Talmex
