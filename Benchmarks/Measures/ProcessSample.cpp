#include "ProcessSample.h"

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>

namespace TalmexBench {

namespace {

// The number after "name:" in a /proc status file, 0 when it is missing.
long _StatusField(const std::string& path, const std::string& name)
{
    std::ifstream status(path);
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, name.size(), name) == 0 && line.size() > name.size() &&
            line[name.size()] == ':') {
            return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

} // namespace

ProcessSample SampleProcess(pid_t pid)
{
    ProcessSample sample;
    const std::string process = "/proc/" + std::to_string(pid);
    sample.residentKilobytes = _StatusField(process + "/status", "VmRSS");
    const std::string tasks = process + "/task";
    DIR* directory = opendir(tasks.c_str());
    if (directory == nullptr) {
        return sample;
    }
    while (const dirent* entry = readdir(directory)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string task = tasks + "/" + entry->d_name;
        // The first field is the time the thread has run, in nanoseconds.
        std::ifstream schedstat(task + "/schedstat");
        double nanoseconds = 0;
        if (schedstat >> nanoseconds) {
            sample.processorSeconds += nanoseconds * 1e-9;
        }
        sample.contextSwitches += _StatusField(task + "/status", "voluntary_ctxt_switches") +
                                  _StatusField(task + "/status", "nonvoluntary_ctxt_switches");
    }
    closedir(directory);
    return sample;
}

} // namespace TalmexBench
