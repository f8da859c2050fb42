#include "Common/File.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace Talmex {
namespace {

// Opens a new file in the directory of path, so that renaming it over path
// cannot cross file systems. The UUID in its name keeps writers apart;
// O_EXCL makes sure nothing that exists is ever reused.
int _CreateBeside(const std::string& path, std::string& temporaryPath)
{
    temporaryPath = GetTemporaryFileName(path + ".tmp-");
    if (temporaryPath.empty()) {
        return -1;
    }
    return open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

bool _WriteAll(int descriptor, const unsigned char* bytes, size_t size)
{
    while (size > 0) {
        const ssize_t written = write(descriptor, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

bool FileBuf::WriteToFile(const std::string& path) const
{
    if (path.empty()) {
        return false;
    }
    std::string temporaryPath;
    const int descriptor = _CreateBeside(path, temporaryPath);
    if (descriptor < 0) {
        return false;
    }
    // Synced before the rename, so that a crash cannot leave the new name on
    // a file whose bytes never reached the disk.
    const bool isWritten = _WriteAll(descriptor, Data(), Size()) && fsync(descriptor) == 0;
    const bool isClosed = close(descriptor) == 0;
    if (isWritten && isClosed && std::rename(temporaryPath.c_str(), path.c_str()) == 0) {
        return true;
    }
    unlink(temporaryPath.c_str());
    return false;
}

} // namespace Talmex
