#include "Client/Headsets.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace Talmex {
namespace Client {

namespace {

bool _IsHeadsetName(const std::string& name)
{
    return !name.empty() && name[0] != '.' && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    });
}

bool _IsFolder(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The headsets there are, in words, the simulated one first.
std::string _Headsets(const std::string& headsets)
{
    std::vector<std::string> names;
    if (DIR* folder = opendir(headsets.c_str())) {
        while (const dirent* entry = readdir(folder)) {
            if (_IsHeadsetName(entry->d_name) && _IsFolder(headsets + "/" + entry->d_name)) {
                names.push_back(entry->d_name);
            }
        }
        closedir(folder);
    }
    std::sort(names.begin(), names.end());
    std::string list = kSimulatedHeadset;
    for (const std::string& name : names) {
        list += ", " + name;
    }
    return "the headsets are: " + list + " (in " + headsets + ")";
}

} // namespace

std::string AgentFolder(const std::string& agentPath)
{
    char resolved[PATH_MAX];
    const std::string path =
        realpath(agentPath.c_str(), resolved) != nullptr ? resolved : agentPath;
    const size_t separator = path.rfind('/');
    if (separator == std::string::npos) {
        return ".";
    }
    return path.substr(0, separator == 0 ? 1 : separator);
}

bool HeadsetFolder(const std::string& agentPath, const std::string& headset, std::string& folder,
                   std::string& error)
{
    const std::string agentFolder = AgentFolder(agentPath);
    if (headset == kSimulatedHeadset) {
        folder = agentFolder;
        return true;
    }
    const std::string headsets = agentFolder + "/headsets";
    if (!_IsHeadsetName(headset)) {
        error = "'" + headset +
                "' is not a headset name (letters, digits, '.', '_' and '-', not "
                "starting with '.'); " +
                _Headsets(headsets);
        return false;
    }
    if (!_IsFolder(headsets + "/" + headset)) {
        error = "no headset '" + headset + "'; " + _Headsets(headsets);
        return false;
    }
    folder = headsets + "/" + headset;
    return true;
}

} // namespace Client
} // namespace Talmex
