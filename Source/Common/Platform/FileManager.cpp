#include "Common/Platform/FileManager.h"

#include "Common/Platform/DirectoryWalk.h"
#include "Common/Platform/ParentDirectory.h"
#include "Common/Platform/WriteAll.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <tuple>
#include <unistd.h>

namespace Talmex {
namespace Platform {

namespace {

constexpr mode_t kModeBits = 07777;

// The item a path names, as the directory that holds it, open, and its name
// there, so that every later step names it within that directory and never
// walks the path again.
struct _Item {
    _Item() = default;
    _Item(const _Item&) = delete;
    _Item& operator=(const _Item&) = delete;
    ~_Item()
    {
        if (parent >= 0) {
            close(parent);
        }
    }

    int parent = -1;
    std::string name;
    // A trailing separator names a directory, and after a link the one the
    // link leads to, which lies outside the item.
    bool isDirectoryNamed = false;
};

// Fails for a path that names no item of its own: an empty one, and one whose
// last part is "." or "..", a directory's names for itself and its parent.
bool _Open(const std::string& path, _Item& item)
{
    const size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) {
        return false;
    }
    item.isDirectoryNamed = end + 1 < path.size();
    item.parent = OpenParentDirectory(path.substr(0, end + 1), item.name);
    return item.parent >= 0 && item.name != "." && item.name != "..";
}

bool _Status(int directory, const std::string& name, struct stat& status)
{
    return fstatat(directory, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

// An entry as a copy found it: the directory that held it, its name there,
// and what it was; a file or a link also by its size and when its content
// last changed, so that one changed after it was copied is told apart (as
// finely as the file system keeps that time).
using _Stamp = std::tuple<dev_t, ino_t, std::string, dev_t, ino_t, mode_t, off_t, time_t, long>;
using _Stamps = std::set<_Stamp>;

_Stamp _StampOf(const struct stat& directory, const std::string& name, const struct stat& entry)
{
    const bool isDirectory = S_ISDIR(entry.st_mode);
    return {directory.st_dev,
            directory.st_ino,
            name,
            entry.st_dev,
            entry.st_ino,
            entry.st_mode & S_IFMT,
            isDirectory ? 0 : entry.st_size,
            isDirectory ? 0 : entry.st_mtim.tv_sec,
            isDirectory ? 0 : entry.st_mtim.tv_nsec};
}

// Removes the item `name` of `parent` with everything in it, one directory
// at a time. With `copied`, only the entries it holds go, and the others stay
// (false then); a trial removes nothing and says whether all would go.
bool _Remove(int parent, const std::string& name, const _Stamps* copied, bool isTrial)
{
    struct stat held {
    }, status{};
    if (fstat(parent, &held) != 0 || !_Status(parent, name, status)) {
        return false;
    }
    const auto isKept = [copied](const struct stat& directory, const std::string& entry,
                                 const struct stat& entryStatus) {
        return copied != nullptr && copied->count(_StampOf(directory, entry, entryStatus)) == 0;
    };
    if (isKept(held, name, status)) {
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        return isTrial || unlinkat(parent, name.c_str(), 0) == 0;
    }
    DirectoryWalk walk(parent, name);
    if (walk.Descriptor() < 0 || !IsSameItem(walk.Status(), status)) {
        return false;
    }
    size_t seen = 1;
    bool isWhole = true;
    // A directory goes once it is empty; one that still holds entries the
    // copy did not take stays, and the removal goes on.
    const auto removeLeft = [&](int directory, const std::string& left) {
        if (unlinkat(directory, left.c_str(), AT_REMOVEDIR) == 0) {
            return true;
        }
        isWhole = false;
        return copied != nullptr && errno == ENOTEMPTY;
    };
    std::string left;
    for (;;) {
        if (const char* entry = walk.Next()) {
            if (!_Status(walk.Descriptor(), entry, status)) {
                return false;
            }
            if (isKept(walk.Status(), entry, status)) {
                if (isTrial) {
                    return false;
                }
                isWhole = false;
                continue;
            }
            ++seen;
            if (S_ISDIR(status.st_mode) ? !walk.Enter(entry) || !IsSameItem(walk.Status(), status)
                                        : !isTrial && unlinkat(walk.Descriptor(), entry, 0) != 0) {
                return false;
            }
        } else if (walk.Depth() == 0) {
            break;
        } else if (!walk.Leave(left) || (!isTrial && !removeLeft(walk.Descriptor(), left))) {
            return false;
        }
    }
    if (isTrial) {
        // An entry removed since it was copied is missed as well.
        return seen == copied->size();
    }
    return removeLeft(parent, name) && isWhole;
}

bool _Remove(const _Item& item)
{
    return _Remove(item.parent, item.name, nullptr, false);
}

bool _CopyBytes(int input, int output)
{
    char buffer[16384];
    for (;;) {
        const ssize_t size = read(input, buffer, sizeof buffer);
        if (size == 0) {
            return true;
        }
        if (size < 0 ? errno != EINTR : !WriteAll(output, buffer, static_cast<size_t>(size))) {
            return false;
        }
    }
}

// Copies a file or a link to the new entry `to` of the directory open at
// `toDirectory`. O_EXCL refuses anything found there, a link included, so
// nothing is written through it. Pipes, sockets and devices are not copied.
bool _CopyEntry(int fromDirectory, const std::string& from, const struct stat& status,
                int toDirectory, const std::string& to)
{
    if (S_ISLNK(status.st_mode)) {
        char target[PATH_MAX];
        const ssize_t length = readlinkat(fromDirectory, from.c_str(), target, sizeof target);
        if (length <= 0 || static_cast<size_t>(length) == sizeof target) {
            return false;
        }
        target[length] = '\0';
        return symlinkat(target, toDirectory, to.c_str()) == 0;
    }
    if (!S_ISREG(status.st_mode)) {
        return false;
    }
    // O_NONBLOCK keeps a pipe put in the file's place from stalling the open.
    const int input =
        openat(fromDirectory, from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat opened {};
    if (input < 0 || fstat(input, &opened) != 0 || !IsSameItem(opened, status)) {
        if (input >= 0) {
            close(input);
        }
        return false;
    }
    const int output =
        openat(toDirectory, to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool isCopied =
        output >= 0 && _CopyBytes(input, output) && fchmod(output, status.st_mode & kModeBits) == 0;
    close(input);
    if (output >= 0) {
        isCopied = close(output) == 0 && isCopied;
        if (!isCopied) {
            unlinkat(toDirectory, to.c_str(), 0);
        }
    }
    return isCopied;
}

// Fills the directory where `to` is with a copy of the directory where `from`
// is, level by level, and records each entry copied. The new directories stay
// private to their owner until they are full.
bool _CopyTree(DirectoryWalk& from, DirectoryWalk& to, _Stamps& copied)
{
    const struct stat made = to.Status();
    std::string left;
    for (;;) {
        if (const char* entry = from.Next()) {
            struct stat status {};
            // A directory copied into itself would copy its own copy without end.
            if (!_Status(from.Descriptor(), entry, status) || IsSameItem(status, made)) {
                return false;
            }
            copied.insert(_StampOf(from.Status(), entry, status));
            if (S_ISDIR(status.st_mode)
                    ? !from.Enter(entry) || !IsSameItem(from.Status(), status) ||
                          mkdirat(to.Descriptor(), entry, 0700) != 0 || !to.Enter(entry)
                    : !_CopyEntry(from.Descriptor(), entry, status, to.Descriptor(), entry)) {
                return false;
            }
        } else if (fchmod(to.Descriptor(), from.Status().st_mode & kModeBits) != 0) {
            return false;
        } else if (from.Depth() == 0) {
            return true;
        } else if (!from.Leave(left) || !to.Leave(left)) {
            return false;
        }
    }
}

// Takes back the copy at `item`, unless something other than `made` has taken
// its place meanwhile.
void _TakeBack(const _Item& item, const struct stat& made)
{
    struct stat status {};
    if (_Status(item.parent, item.name, status) && IsSameItem(status, made)) {
        _Remove(item);
    }
}

// Copies the item `from` to the new item `to`, never following a link on
// either side, and records in `copied` each entry it copied and in `made` what
// it made. Only a whole copy stays, and only where it was asked for.
bool _CopyItem(const _Item& from, const _Item& to, _Stamps& copied, struct stat& made)
{
    struct stat held {
    }, status{};
    if (fstat(from.parent, &held) != 0 || !_Status(from.parent, from.name, status) ||
        ((from.isDirectoryNamed || to.isDirectoryNamed) && !S_ISDIR(status.st_mode))) {
        return false;
    }
    copied.insert(_StampOf(held, from.name, status));
    if (!S_ISDIR(status.st_mode)) {
        return _CopyEntry(from.parent, from.name, status, to.parent, to.name) &&
               _Status(to.parent, to.name, made);
    }
    // mkdir makes a new directory or fails: a link found there is not followed.
    if (mkdirat(to.parent, to.name.c_str(), 0700) != 0) {
        return false;
    }
    DirectoryWalk fromWalk(from.parent, from.name);
    DirectoryWalk toWalk(to.parent, to.name);
    if (toWalk.Descriptor() < 0) {
        unlinkat(to.parent, to.name.c_str(), AT_REMOVEDIR);
        return false;
    }
    made = toWalk.Status();
    struct stat found {};
    if (fromWalk.Descriptor() >= 0 && IsSameItem(fromWalk.Status(), status) &&
        _CopyTree(fromWalk, toWalk, copied) && _Status(to.parent, to.name, found) &&
        IsSameItem(found, made)) {
        return true;
    }
    _TakeBack(to, made);
    return false;
}

// A rename that refuses an existing destination, as an error number.
int _Rename(const std::string& from, const std::string& to)
{
    return renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0 ? 0
                                                                                          : errno;
}

// A hard link takes the new name only if it is free, in one step, so a file
// or a link moves without the no-replace rename.
int _MoveByLink(const std::string& from, const std::string& to)
{
    if (linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) != 0) {
        return errno;
    }
    if (unlink(from.c_str()) == 0) {
        return 0;
    }
    // The move failed: take back the name just made.
    const int error = errno;
    unlink(to.c_str());
    return error;
}

// With neither the no-replace rename nor a hard link, as for a directory
// there, the destination is checked, then the item renamed. An item made at
// the destination in between is replaced: this is a race that only such a
// file system leaves open. A directory replaces only an empty directory.
int _MoveAfterCheck(const std::string& from, const std::string& to)
{
    struct stat status {};
    if (fstatat(AT_FDCWD, to.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    if (errno != ENOENT) {
        return errno;
    }
    return renameat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str()) == 0 ? 0 : errno;
}

// To another file system: copy, then remove from the source only what was
// copied, and only once the copy holds all of the source as it is then. A
// copy that fails, or that the source outgrew meanwhile, is taken back and
// the source left whole. An entry added between that look and the removal
// stays in the source, and the move fails with both sides kept.
bool _MoveAcross(const std::string& fromPath, const std::string& toPath)
{
    _Item from, to;
    _Stamps copied;
    struct stat made {};
    if (!_Open(fromPath, from) || !_Open(toPath, to) || !_CopyItem(from, to, copied, made)) {
        return false;
    }
    if (_Remove(from.parent, from.name, &copied, true)) {
        return _Remove(from.parent, from.name, &copied, false);
    }
    _TakeBack(to, made);
    return false;
}

// Failures are results, but allocation may still throw; no exception leaves
// the file manager.
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
        return std::filesystem::exists(path, error);
    });
}

bool RemoveItemAtPath(const std::string& path)
{
    return _Guarded([&] {
        _Item item;
        struct stat status {};
        return _Open(path, item) && _Status(item.parent, item.name, status) &&
               (!item.isDirectoryNamed || S_ISDIR(status.st_mode)) && _Remove(item);
    });
}

bool MoveItemAtPath(const std::string& from, const std::string& to)
{
    return _Guarded([&] {
        int error = _Rename(from, to);
        if (error == EINVAL || error == ENOSYS) {
            // A file system or kernel without the no-replace rename.
            error = _MoveByLink(from, to);
            if (error == EPERM || error == EOPNOTSUPP) {
                // Nor hard links, or a directory, which has none.
                error = _MoveAfterCheck(from, to);
            }
        }
        return error == EXDEV ? _MoveAcross(from, to) : error == 0;
    });
}

bool CopyItemAtPath(const std::string& from, const std::string& to)
{
    return _Guarded([&] {
        _Item fromItem, toItem;
        _Stamps copied;
        struct stat made {};
        return _Open(from, fromItem) && _Open(to, toItem) &&
               _CopyItem(fromItem, toItem, copied, made);
    });
}

} // namespace Platform
} // namespace Talmex
