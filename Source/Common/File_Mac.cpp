#include "Common/File.h"

#include "Common/Platform/MainBundle.h"

namespace Talmex {

std::string GetModulePath()
{
    return Platform::MainBundlePath();
}

} // namespace Talmex
