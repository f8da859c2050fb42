#include "Common/File.h"

#include "Common/Platform/FileManager.h"
#include "Common/Platform/MainBundle.h"
#include "Common/Platform/TemporaryDirectory.h"
#include "Common/Platform/Uuid.h"
#include "Common/String.h"

namespace Talmex {

namespace {

// The platform takes paths as terminated UTF-8 text: other bytes make no path
// at all, and a zero byte would silently name a shorter one.
bool _IsPlatformPath(const std::string& path)
{
    return path.find('\0') == std::string::npos &&
           !_Mac_UTF8ToWideChar(path.data(), path.size()).empty();
}

} // namespace

bool File::Exists(const std::string& path)
{
    return _IsPlatformPath(path) && Platform::FileExistsAtPath(path);
}

bool File::Delete(const std::string& path)
{
    return _IsPlatformPath(path) && Platform::RemoveItemAtPath(path);
}

bool File::Move(const std::string& from, const std::string& to)
{
    return _IsPlatformPath(from) && _IsPlatformPath(to) && Platform::MoveItemAtPath(from, to);
}

bool File::Copy(const std::string& from, const std::string& to)
{
    return _IsPlatformPath(from) && _IsPlatformPath(to) && Platform::CopyItemAtPath(from, to);
}

std::string GetModulePath()
{
    return Platform::MainBundlePath();
}

std::string GetTemporaryDirectoryName()
{
    return Platform::TemporaryDirectory();
}

std::string GetTemporaryFileName()
{
    return Platform::CreateUuidString();
}

std::string GetTemporaryFileName(const std::string& prefix)
{
    const std::string uuid = Platform::CreateUuidString();
    return uuid.empty() ? std::string() : prefix + uuid;
}

} // namespace Talmex
