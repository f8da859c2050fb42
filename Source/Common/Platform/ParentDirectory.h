#pragma once

#include <fcntl.h>
#include <string>

namespace Talmex {
namespace Platform {

// Opens the directory that holds the last part of path and gives that part's
// name, so that the part is then named within the directory by the *at calls,
// which neither re-walk the path nor care how long it is. -1 when the
// directory cannot be opened; the caller closes the descriptor.
inline int OpenParentDirectory(const std::string& path, std::string& name)
{
    const size_t slash = path.rfind('/');
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string directory = slash == std::string::npos ? "."
                                  : slash == 0               ? "/"
                                                             : path.substr(0, slash);
    return open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

} // namespace Platform
} // namespace Talmex
