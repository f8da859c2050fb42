#pragma once

#include <dlfcn.h>
#include <string>

namespace Talmex {
namespace Plugin {

// The headset library inside a folder, laid out as the platform's bundles are.
constexpr char kLibraryPath[] = "OculusPlugin.bundle/Contents/MacOS/OculusPlugin";

// Linux needs RTLD_NOW or RTLD_LAZY beside RTLD_LOCAL; binding at once keeps a
// broken library from failing later, in the middle of a report.
constexpr int kOpenMode = RTLD_LOCAL | RTLD_NOW;

// Where the agent looks, in its order.
enum class Place {
    // The relative path, resolved against the current directory.
    BelowCurrentDirectory,
    // Below the agent's own folder, its module path.
    BesideAgent,
};

// Opens the library from the first place that loads it, in the agent's order,
// and gives its handle, or null. `modulePath()` gives the agent's folder and
// is asked only when the first place fails. `tried(place, path, handle)` hears
// each attempt; on a null handle dlerror() still holds the loader's reason.
template <class ModulePath, class Tried>
void* OpenLibrary(ModulePath modulePath, Tried tried)
{
    void* handle = dlopen(kLibraryPath, kOpenMode);
    tried(Place::BelowCurrentDirectory, std::string(kLibraryPath), handle);
    if (handle != nullptr) {
        return handle;
    }
    const std::string besideAgent = modulePath() + "/" + kLibraryPath;
    handle = dlopen(besideAgent.c_str(), kOpenMode);
    tried(Place::BesideAgent, besideAgent, handle);
    return handle;
}

} // namespace Plugin
} // namespace Talmex
