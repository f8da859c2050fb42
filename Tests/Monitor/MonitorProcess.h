#pragma once

#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace MonitorTest {

struct MonitorRun {
    std::vector<std::string> arguments;
    // The working directory, where the agent looks for its plug-in first.
    std::string folder = "/";
    // Past this, the monitor is stopped with the stop signal.
    std::chrono::milliseconds timeout{15000};
    // Once standard output holds this text, the monitor is stopped with this
    // signal, or onOutput acts on it instead.
    std::string stopOnOutput;
    int stopSignal = SIGTERM;
    std::function<void(pid_t monitor)> onOutput;
    // Standard error joins standard output.
    bool withErrors = false;
    // When not 0, files grow no larger, as on a disk that fills up.
    size_t fileSizeLimit = 0;
    // NAME=value entries added to the monitor's environment, which the agent
    // it starts inherits.
    std::vector<std::string> environment;
};

struct MonitorResult {
    // As waitpid gives it; -1 when the monitor could not be run or reaped.
    int waitStatus = -1;
    std::string output;
};

// Runs talmex-monitor without a terminal, standard output captured and
// standard input empty. Every wait is bounded.
MonitorResult RunMonitor(const MonitorRun& run);

// True while the process exists and is not a zombie.
bool IsRunning(int pid);

// Waits, at most the time, until the process has ended; true when it has.
bool WaitUntilStopped(int pid, std::chrono::milliseconds timeout);

// The first child of a process, or 0: the agent below the monitor.
int ChildOf(int pid);

// A fresh directory below /tmp, removed with its contents by the destructor.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& Path() const { return _path; }

private:
    std::string _path;
};

} // namespace MonitorTest
