#include "Common/File.h"

#include "Common/Platform/ParentDirectory.h"
#include "Common/Platform/WriteAll.h"

#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace Talmex {
namespace {

// As many links as the kernel follows in one path before it gives up.
constexpr int kMaxLinkHops = 40;
constexpr mode_t kPermissionBits = S_IRWXU | S_IRWXG | S_IRWXO;

// Follows symbolic links at the end of path, so that the file they lead to
// is replaced and the links stay. A link to nowhere leads to the file it
// names, which is then made.
bool _FollowLinks(std::string& path)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return true;
        }
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || static_cast<size_t>(length) == sizeof target) {
            return false;
        }
        const std::string link(target, static_cast<size_t>(length));
        // A relative link names a place beside the link.
        path = link.front() == '/' ? link : path.substr(0, path.rfind('/') + 1) + link;
    }
    return false;
}

// Opens a new file beside `name`, named after it where the file system has
// room for the name and the UUID that keeps writers apart; O_EXCL makes sure
// nothing that exists is ever reused. A file that is replaced lends its
// permissions before any byte is written.
int _CreateBeside(int directory, const std::string& name, std::string& temporaryName)
{
    const std::string suffix = GetTemporaryFileName(".tmp-");
    if (suffix.empty()) {
        return -1;
    }
    const long nameMax = fpathconf(directory, _PC_NAME_MAX);
    const size_t room = static_cast<size_t>(nameMax > 0 ? nameMax : NAME_MAX);
    temporaryName = name.substr(0, room > suffix.size() ? room - suffix.size() : 0) + suffix;
    struct stat replaced {};
    const bool isReplacing = fstatat(directory, name.c_str(), &replaced, 0) == 0;
    const mode_t permissions = isReplacing ? replaced.st_mode & kPermissionBits : 0666;
    const int descriptor = openat(directory, temporaryName.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
    // The umask must not take from the permissions that the old file had.
    if (descriptor >= 0 && isReplacing && fchmod(descriptor, permissions) != 0) {
        close(descriptor);
        unlinkat(directory, temporaryName.c_str(), 0);
        return -1;
    }
    return descriptor;
}

// Writes the body to a new file in directory and gives it name.
bool _Replace(int directory, const std::string& name, const unsigned char* bytes, size_t size)
{
    std::string temporaryName;
    const int descriptor = _CreateBeside(directory, name, temporaryName);
    if (descriptor < 0) {
        return false;
    }
    // Synced before the rename, so that a crash cannot leave the new name on
    // a file whose bytes never reached the disk.
    const bool isWritten = Platform::WriteAll(descriptor, bytes, size) && fsync(descriptor) == 0;
    const bool isClosed = close(descriptor) == 0;
    if (isWritten && isClosed &&
        renameat(directory, temporaryName.c_str(), directory, name.c_str()) == 0) {
        return true;
    }
    unlinkat(directory, temporaryName.c_str(), 0);
    return false;
}

} // namespace

bool FileBuf::WriteToFile(const std::string& path) const
{
    std::string target = path;
    // A zero byte would end the path early and name another file.
    if (path.empty() || path.find('\0') != std::string::npos || !_FollowLinks(target)) {
        return false;
    }
    std::string name;
    const int directory = Platform::OpenParentDirectory(target, name);
    if (directory < 0) {
        return false;
    }
    const bool isReplaced = !name.empty() && _Replace(directory, name, Data(), Size());
    close(directory);
    return isReplaced;
}

} // namespace Talmex
