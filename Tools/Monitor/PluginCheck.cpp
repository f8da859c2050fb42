#include "Monitor/PluginCheck.h"

#include "Plugin/Describe.h"
#include "Plugin/EntryPoints.h"
#include "Plugin/Location.h"

#include <climits>
#include <cstring>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>
#include <vector>

namespace Talmex {
namespace Monitor {

namespace {

constexpr const char* kEntryPoints[] = {
#define TALMEX_ENTRY_NAME(name) "OVR_" #name,
    TALMEX_OVR_ENTRY_POINTS(TALMEX_ENTRY_NAME)
#undef TALMEX_ENTRY_NAME
};
constexpr size_t kEntryPointCount = sizeof kEntryPoints / sizeof kEntryPoints[0];

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

// What the plug-in says of itself, when it says anything.
void _Describe(void* library, std::ostream& out)
{
    const auto describe =
        reinterpret_cast<decltype(&TalmexPlugin_Describe)>(dlsym(library, Plugin::kDescribeName));
    const char* text = describe != nullptr ? describe() : nullptr;
    if (text == nullptr || *text == '\0') {
        return;
    }
    out << "the plug-in says:\n" << text;
    if (text[std::strlen(text) - 1] != '\n') {
        out << "\n";
    }
}

} // namespace

PluginCheckResult CheckPlugin(const std::string& agentPath, std::ostream& out)
{
    out << "agent: " << agentPath;
    if (access(agentPath.c_str(), X_OK) != 0) {
        out << " (not there; checking where it would look)";
    }
    out << "\n";
    std::string found;
    void* const library = Plugin::OpenLibrary(
        [&] { return _FolderOf(agentPath); },
        [&](Plugin::Place place, const std::string& path, void* handle) {
            out << "tried " << path << " ("
                << (place == Plugin::Place::BelowCurrentDirectory
                        ? "below the current directory " + _CurrentDirectory()
                        : std::string("beside the agent"))
                << "): ";
            if (handle == nullptr) {
                const char* reason = dlerror();
                out << "not loaded: " << (reason != nullptr ? reason : "no reason given") << "\n";
                return;
            }
            out << "loaded\n";
            found = _RealPath(path);
        });
    if (library == nullptr) {
        out << "no plug-in: the agent would serve without one, and every value it reports "
               "would be zero\n";
        return PluginCheckResult::kNoPlugin;
    }

    const std::vector<std::string> missing = _MissingEntryPoints(library);
    out << "plug-in: " << found << "\n";
    if (missing.empty()) {
        out << "entry points: all " << kEntryPointCount << " present\n";
    } else {
        out << "entry points: " << missing.size() << " of " << kEntryPointCount << " missing:";
        for (const std::string& name : missing) {
            out << " " << name;
        }
        out << "\nthe agent would serve with this plug-in; what the missing entry points "
               "would answer reads as zero, and what they would do is not done\n";
    }
    _Describe(library, out);
    dlclose(library);
    return missing.empty() ? PluginCheckResult::kComplete : PluginCheckResult::kMissingEntryPoints;
}

} // namespace Monitor
} // namespace Talmex
