#include "Client/AgentSearch.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Talmex {
namespace Client {

namespace {

const char _codeMarker = 0;

bool _IsExecutableFile(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The folder of the file this code was loaded from, links resolved.
std::string _CodeFolder()
{
    Dl_info info;
    link_map* map = nullptr;
    if (dladdr1(&_codeMarker, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        return std::string();
    }
    // The program itself goes by no name in its link map.
    const char* file = map->l_name[0] != '\0' ? map->l_name : "/proc/self/exe";
    char resolved[PATH_MAX];
    if (realpath(file, resolved) == nullptr) {
        return std::string();
    }
    const std::string path = resolved;
    return path.substr(0, path.rfind('/'));
}

bool _EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Where the agent would be installed with this code, or nothing when the
// code lies elsewhere: an install puts the agent, the libraries and the
// programs each at a place below its prefix, which the build names.
std::string _InstalledCandidate()
{
    const std::string folder = _CodeFolder();
    for (const char* codeFolder : {TALMEX_LIB_IN_PREFIX, TALMEX_BIN_IN_PREFIX}) {
        const std::string below = std::string("/") + codeFolder;
        if (_EndsWith(folder, below)) {
            return folder.substr(0, folder.size() - below.size()) + "/" + TALMEX_AGENT_IN_PREFIX;
        }
    }
    return std::string();
}

// A relative folder on the PATH would let the host's current directory
// choose the agent, which is just what a planted file needs: skipped.
std::vector<std::string> _PathCandidates()
{
    std::vector<std::string> candidates;
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && folder[0] == '/') {
            candidates.push_back(folder + "/talmex-agent");
        }
    }
    return candidates;
}

} // namespace

bool FindAgent(std::string& path, std::string& error)
{
    const std::string installed = _InstalledCandidate();
    const std::vector<std::string> onPath = _PathCandidates();
    std::string tried = installed.empty() ? "" : installed + " (installed with this library)";
    if (_IsExecutableFile(installed)) {
        path = installed;
        return true;
    }
    for (size_t i = 0; i < onPath.size(); ++i) {
        if (_IsExecutableFile(onPath[i])) {
            path = onPath[i];
            return true;
        }
        tried += (tried.empty() ? "" : i == 0 ? ", then " : ", ") + onPath[i];
    }
    error = "cannot find talmex-agent: " +
            (tried.empty() ? std::string("this library is not in an install, and the PATH holds "
                                         "no absolute folder")
                           : "tried " + tried + (onPath.empty() ? "" : " (on the PATH)"));
    return false;
}

} // namespace Client
} // namespace Talmex
