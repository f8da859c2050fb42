#include "Common/Platform/FileManager.h"

#include "Common/Platform/ParentDirectory.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Talmex {
namespace Platform {

namespace {

// A dangling link is an item too: it must not be replaced.
bool _HasItem(const fs::path& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

// True if `inner` is `outer` or lies below it, once both are resolved.
bool _IsWithin(const fs::path& inner, const fs::path& outer)
{
    std::error_code error;
    const fs::path resolvedInner = fs::weakly_canonical(inner, error);
    if (error) {
        return false;
    }
    const fs::path resolvedOuter = fs::weakly_canonical(outer, error);
    if (error) {
        return false;
    }
    auto innerPart = resolvedInner.begin();
    for (const fs::path& outerPart : resolvedOuter) {
        if (outerPart.empty()) {
            continue; // a trailing separator
        }
        if (innerPart == resolvedInner.end() || *innerPart != outerPart) {
            return false;
        }
        ++innerPart;
    }
    return true;
}

bool _RemoveEntry(int parent, const char* name);

// Removes everything in the directory open at `directory`, and closes it.
bool _EmptyDirectory(int directory)
{
    DIR* entries = fdopendir(directory);
    if (entries == nullptr) {
        close(directory);
        return false;
    }
    bool isEmptied = true;
    while (const dirent* entry = readdir(entries)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            isEmptied = _RemoveEntry(dirfd(entries), entry->d_name) && isEmptied;
        }
    }
    closedir(entries);
    return isEmptied;
}

// Removes the entry `name` of the directory open at `parent`, with all it
// holds. A link is removed as a link, and O_NOFOLLOW refuses a directory
// swapped for a link meanwhile, so nothing outside the entry is touched.
bool _RemoveEntry(int parent, const char* name)
{
    if (unlinkat(parent, name, 0) == 0) {
        return true;
    }
    if (errno != EISDIR) {
        return false;
    }
    const int directory = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return directory >= 0 && _EmptyDirectory(directory) &&
           unlinkat(parent, name, AT_REMOVEDIR) == 0;
}

bool _IsDirectory(const fs::path& path)
{
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path, error));
}

// A hard link takes the new name only if it is free, in one step, so a file
// or a link moves without the no-replace rename. A directory has no such
// way: testing the destination before a plain rename would let an item made
// in between be replaced, so it is not moved.
bool _MoveByLink(const std::string& from, const std::string& to)
{
    if (_IsDirectory(from) || linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) != 0) {
        return false;
    }
    if (unlink(from.c_str()) == 0) {
        return true;
    }
    // The move failed: take back the name just made.
    unlink(to.c_str());
    return false;
}

bool _Copy(const fs::path& from, const fs::path& to)
{
    // A directory copied into itself would copy its own copy without end.
    if (!_HasItem(from) || _HasItem(to) || (_IsDirectory(from) && _IsWithin(to, from))) {
        return false;
    }
    std::error_code error;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    return !error;
}

// std::filesystem's results are reported through error codes, but allocation
// may still throw; no exception leaves the file manager.
template <class Operation>
bool _Guarded(Operation operation)
{
    try {
        return operation();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

bool FileExistsAtPath(const std::string& path)
{
    return _Guarded([&] {
        std::error_code error;
        return fs::exists(path, error);
    });
}

bool RemoveItemAtPath(const std::string& path)
{
    return _Guarded([&] {
        const size_t end = path.find_last_not_of('/');
        if (end == std::string::npos) {
            return false;
        }
        const std::string item = path.substr(0, end + 1);
        // A trailing separator names a directory, and after a link the one
        // the link leads to, which lies outside the item.
        struct stat status {};
        if (end + 1 < path.size() &&
            (lstat(item.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))) {
            return false;
        }
        std::string name;
        const int parent = OpenParentDirectory(item, name);
        if (parent < 0) {
            return false;
        }
        // "." and ".." are a directory's names for itself and for its parent.
        const bool isRemoved = name != "." && name != ".." && _RemoveEntry(parent, name.c_str());
        close(parent);
        return isRemoved;
    });
}

bool MoveItemAtPath(const std::string& from, const std::string& to)
{
    return _Guarded([&] {
        if (!_HasItem(from)) {
            return false;
        }
        // Refuses an existing destination in the same step as the rename.
        if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
            return true;
        }
        const int error = errno;
        if (error == EXDEV) {
            // Another file system: copy, then remove the source.
            return _Copy(from, to) && RemoveItemAtPath(from);
        }
        if (error == EINVAL || error == ENOSYS) {
            // A file system or kernel without the no-replace rename.
            return _MoveByLink(from, to);
        }
        return false;
    });
}

bool CopyItemAtPath(const std::string& from, const std::string& to)
{
    return _Guarded([&] { return _Copy(from, to); });
}

} // namespace Platform
} // namespace Talmex
