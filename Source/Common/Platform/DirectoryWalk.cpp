#include "Common/Platform/DirectoryWalk.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <utility>

namespace Talmex {
namespace Platform {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Closes a descriptor on every way out, an exception's included, unless it
// was released.
class _Descriptor {
public:
    explicit _Descriptor(int descriptor) : _descriptor(descriptor) {}
    ~_Descriptor()
    {
        if (_descriptor >= 0) {
            close(_descriptor);
        }
    }
    _Descriptor(const _Descriptor&) = delete;
    _Descriptor& operator=(const _Descriptor&) = delete;

    int Get() const { return _descriptor; }
    int Release() { return std::exchange(_descriptor, -1); }

private:
    int _descriptor;
};

// Reads the names in the directory open at `directory`, through a descriptor
// of its own.
bool _ReadNames(int directory, std::vector<std::string>& names)
{
    _Descriptor reader(openat(directory, ".", kDirectoryFlags));
    const std::unique_ptr<DIR, int (*)(DIR*)> entries(
        reader.Get() < 0 ? nullptr : fdopendir(reader.Get()), closedir);
    if (!entries) {
        return false;
    }
    reader.Release();
    // readdir tells its end from a failure only by errno.
    const dirent* entry = nullptr;
    for (errno = 0; (entry = readdir(entries.get())) != nullptr; errno = 0) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    return errno == 0;
}

} // namespace

DirectoryWalk::DirectoryWalk(int parent, const std::string& name)
{
    _Push(openat(parent, name.c_str(), kDirectoryFlags | O_NOFOLLOW), name);
}

DirectoryWalk::~DirectoryWalk()
{
    _Descriptor closing(_descriptor);
}

const char* DirectoryWalk::Next()
{
    _Level& level = _levels.back();
    return level.next < level.names.size() ? level.names[level.next++].c_str() : nullptr;
}

bool DirectoryWalk::Enter(const std::string& name)
{
    return _Push(openat(_descriptor, name.c_str(), kDirectoryFlags | O_NOFOLLOW), name);
}

bool DirectoryWalk::Leave(std::string& name)
{
    if (_levels.size() < 2) {
        return false;
    }
    _Descriptor parent(openat(_descriptor, "..", kDirectoryFlags));
    struct stat status {};
    if (parent.Get() < 0 || fstat(parent.Get(), &status) != 0 ||
        !IsSameItem(status, _levels[_levels.size() - 2].status)) {
        return false;
    }
    name = std::move(_levels.back().name);
    _levels.pop_back();
    _Descriptor left(std::exchange(_descriptor, parent.Release()));
    return true;
}

bool DirectoryWalk::_Push(int opened, const std::string& name)
{
    _Descriptor descriptor(opened);
    _Level level{name, {}, {}, 0};
    if (descriptor.Get() < 0 || fstat(descriptor.Get(), &level.status) != 0 ||
        !_ReadNames(descriptor.Get(), level.names)) {
        return false;
    }
    _levels.push_back(std::move(level));
    _Descriptor left(std::exchange(_descriptor, descriptor.Release()));
    return true;
}

} // namespace Platform
} // namespace Talmex
