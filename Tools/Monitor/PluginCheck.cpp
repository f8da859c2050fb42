#include "Monitor/PluginCheck.h"

#include "Client/Headsets.h"
#include "Monitor/Diagnosis.h"
#include "Monitor/OutputCapture.h"
#include "Plugin/Describe.h"
#include "Plugin/EntryPoints.h"
#include "Plugin/Location.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sstream>
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

std::string _RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : path;
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
std::string _Description(void* library)
{
    const auto describe =
        reinterpret_cast<decltype(&TalmexPlugin_Describe)>(dlsym(library, Plugin::kDescribeName));
    const char* text = describe != nullptr ? describe() : nullptr;
    if (text == nullptr || *text == '\0') {
        return std::string();
    }
    std::string description = text;
    if (description.back() != '\n') {
        description += '\n';
    }
    return description;
}

} // namespace

PluginCheckResult CheckPlugin(const std::string& agentPath, const std::string& folder,
                              std::ostream& out)
{
    out << "agent: " << agentPath;
    if (access(agentPath.c_str(), X_OK) != 0) {
        out << " (not there; checking where it would look)";
    }
    out << "\n";
    const std::string agentFolder = Client::AgentFolder(agentPath);
    // The relative path resolves against the folder, as it would in the agent.
    if (chdir(folder.c_str()) != 0) {
        out << "cannot enter " << folder
            << ", where the agent would start: " << std::strerror(errno) << "\n";
        return PluginCheckResult::kNoPlugin;
    }
    std::ostringstream attempts;
    std::string found;
    std::vector<std::string> missing;
    std::string description;
    Client::AgentOutput printed;
    CaptureOutput(
        [&] {
            void* library = Plugin::OpenLibrary(
                [&] { return agentFolder; },
                [&](Plugin::Place place, const std::string& path, void* handle) {
                    attempts << "tried " << path << " ("
                             << (place == Plugin::Place::BelowCurrentDirectory
                                     ? "below " + folder + ", where the agent starts"
                                     : std::string("beside the agent"))
                             << "): ";
                    if (handle == nullptr) {
                        const char* reason = dlerror();
                        attempts << "not loaded: "
                                 << (reason != nullptr ? reason : "no reason given") << "\n";
                        return;
                    }
                    attempts << "loaded\n";
                    found = _RealPath(path);
                });
            if (library != nullptr) {
                missing = _MissingEntryPoints(library);
                description = _Description(library);
                dlclose(library);
            }
        },
        printed);
    out << attempts.str();
    for (const std::string& line : OutputLinesOf(printed, "the plug-in printed while loading")) {
        out << line << "\n";
    }
    if (found.empty()) {
        out << "no plug-in: the agent would serve without one, and every value it reports "
               "would be zero\n";
        return PluginCheckResult::kNoPlugin;
    }

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
    if (!description.empty()) {
        out << "the plug-in says:\n" << description;
    }
    return missing.empty() ? PluginCheckResult::kComplete : PluginCheckResult::kMissingEntryPoints;
}

} // namespace Monitor
} // namespace Talmex
