#pragma once

#include <string>

namespace Talmex {
namespace Platform {

// The file manager's operations on file system paths. None overwrites: an
// existing destination makes Move and Copy fail untouched. Symbolic links are
// moved, copied and removed as links, never followed out of the named tree.
// Trees of any depth are walked with a few descriptors and no recursion.
// Failures give false; nothing throws.

// True if an item exists at the path, following symbolic links.
bool FileExistsAtPath(const std::string& path);
// Removes a file, a link, or a directory with everything in it. Refuses a
// path whose last part is "." or "..", and a trailing separator after
// anything but a directory (a link to one included).
bool RemoveItemAtPath(const std::string& path);
// Renames within a file system. Where it has no rename that refuses an
// existing destination, a file or a link moves by a hard link; where it has
// no hard links either, and for a directory there, the destination is
// checked and then the item renamed, so an item made at the destination in
// between is replaced (a directory replaces only an empty directory). To
// another file system it copies, then removes from the source only what was
// copied; a copy that fails, or that the source outgrew meanwhile, is taken
// back and the source kept whole. An entry added while the source is being
// removed stays there, and the move fails with both sides kept.
bool MoveItemAtPath(const std::string& from, const std::string& to);
// Copies a file, a link, or a directory with everything in it into a new
// item made in one step, then filled through open directories, so a link
// put in the way is never written through. Pipes, sockets and devices are
// not copied. A copy that fails is taken back.
bool CopyItemAtPath(const std::string& from, const std::string& to);

} // namespace Platform
} // namespace Talmex
