#pragma once

#include <string>

namespace Talmex {
namespace Platform {

// The file manager's operations on file system paths. None overwrites: an
// existing destination makes Move and Copy fail untouched. Symbolic links are
// moved, copied and removed as links, never followed out of the named tree.
// Failures give false; nothing throws.

// True if an item exists at the path, following symbolic links.
bool FileExistsAtPath(const std::string& path);
// Removes a file, a link, or a directory with everything in it. Refuses a
// path whose last part is "." or "..", and a trailing separator after
// anything but a directory (a link to one included).
bool RemoveItemAtPath(const std::string& path);
// Where the file system or kernel has no rename that refuses an existing
// destination, files and links are moved by a hard link, and directories not
// at all.
bool MoveItemAtPath(const std::string& from, const std::string& to);
// Copies a file, a link, or a directory with everything in it.
bool CopyItemAtPath(const std::string& from, const std::string& to);

} // namespace Platform
} // namespace Talmex
