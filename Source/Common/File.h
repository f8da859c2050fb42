#pragma once

#include <string>

namespace Talmex {

// File operations on UTF-8 paths. They keep no state and report failure as
// false: a path that is missing, not UTF-8 or holds a zero byte, an
// unwritable place, or an existing destination (which Move and Copy leave
// untouched). Directories are deleted, moved and copied with their contents.
class File {
public:
    File() = delete;

    static bool Exists(const std::string& path);
    static bool Delete(const std::string& path);
    static bool Move(const std::string& from, const std::string& to);
    static bool Copy(const std::string& from, const std::string& to);
};

// The directory of the running program, without a trailing separator; empty
// when the platform cannot tell.
std::string GetModulePath();

// The user's temporary directory, ending in a separator; empty when the
// platform has none.
std::string GetTemporaryDirectoryName();

// A new unique name: the 36-character text of a random UUID, after `prefix`
// when one is given. No file is created. Empty when no UUID can be made.
std::string GetTemporaryFileName();
std::string GetTemporaryFileName(const std::string& prefix);

} // namespace Talmex
