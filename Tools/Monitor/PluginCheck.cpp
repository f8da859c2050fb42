#include "Monitor/PluginCheck.h"

#include "Agent/OculusPluginEntryPoints.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>
#include <vector>

namespace Talmex {
namespace Monitor {

namespace {

// As the agent binds it: the same path and the same mode.
constexpr char kLibraryPath[] = "OculusPlugin.bundle/Contents/MacOS/OculusPlugin";
constexpr int kOpenMode = RTLD_LOCAL | RTLD_NOW;

constexpr const char* kEntryPoints[] = {
#define TALMEX_ENTRY_NAME(name) "OVR_" #name,
    TALMEX_OVR_ENTRY_POINTS(TALMEX_ENTRY_NAME)
#undef TALMEX_ENTRY_NAME
};
constexpr size_t kEntryPointCount = sizeof kEntryPoints / sizeof kEntryPoints[0];

struct Place {
    std::string path;
    std::string where;
};

std::string _CurrentDirectory()
{
    char path[PATH_MAX];
    return getcwd(path, sizeof path) != nullptr ? path : "?";
}

std::string _RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

// The agent's module path is the folder of its executable with every link
// resolved, as /proc/self/exe names it.
std::string _FolderOf(const std::string& agentPath)
{
    const std::string path = _RealPath(agentPath);
    const size_t separator = path.rfind('/');
    if (separator == std::string::npos) {
        return ".";
    }
    return path.substr(0, separator == 0 ? 1 : separator);
}

std::vector<std::string> _MissingEntryPoints(void* library)
{
    std::vector<std::string> missing;
    for (const char* name : kEntryPoints) {
        if (dlsym(library, name) == nullptr) {
            missing.push_back(name);
        }
    }
    return missing;
}

} // namespace

PluginCheckResult CheckPlugin(const std::string& agentPath, std::ostream& out)
{
    out << "agent: " << agentPath;
    if (access(agentPath.c_str(), X_OK) != 0) {
        out << " (not there; checking where it would look)";
    }
    out << "\n";
    const Place places[] = {
        {kLibraryPath, "below the current directory " + _CurrentDirectory()},
        {_FolderOf(agentPath) + "/" + kLibraryPath, "beside the agent"},
    };

    void* library = nullptr;
    std::string found;
    for (const Place& place : places) {
        out << "tried " << place.path << " (" << place.where << "): ";
        library = dlopen(place.path.c_str(), kOpenMode);
        if (library == nullptr) {
            const char* reason = dlerror();
            out << "not loaded: " << (reason != nullptr ? reason : "no reason given") << "\n";
            continue;
        }
        out << "loaded\n";
        found = _RealPath(place.path);
        break;
    }
    if (library == nullptr) {
        out << "no plug-in: the agent would serve without one, and every value it reports "
               "would be zero\n";
        return PluginCheckResult::kNoPlugin;
    }

    const std::vector<std::string> missing = _MissingEntryPoints(library);
    dlclose(library);
    out << "plug-in: " << found << "\n";
    if (missing.empty()) {
        out << "entry points: all " << kEntryPointCount << " present\n";
        return PluginCheckResult::kComplete;
    }
    out << "entry points: " << missing.size() << " of " << kEntryPointCount << " missing:";
    for (const std::string& name : missing) {
        out << " " << name;
    }
    out << "\nthe agent would serve with this plug-in; what the missing entry points "
           "would answer reads as zero, and what they would do is not done\n";
    return PluginCheckResult::kMissingEntryPoints;
}

} // namespace Monitor
} // namespace Talmex
