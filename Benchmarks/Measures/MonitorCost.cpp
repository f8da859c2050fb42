#include "MonitorCost.h"

#include "ChildGuard.h"
#include "ProcessSample.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace TalmexBench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr useconds_t kSettleMicroseconds = 1000000;

bool _HasExited(pid_t pid)
{
    return waitpid(pid, nullptr, WNOHANG) == pid;
}

// Ends the monitor's process group, and so any agent it started, gently
// first; reaps the monitor.
void _Stop(pid_t pid)
{
    kill(-pid, SIGTERM);
    for (int wait = 0; wait < 200; ++wait) {
        if (_HasExited(pid)) {
            kill(-pid, SIGKILL);
            return;
        }
        usleep(10000);
    }
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

std::optional<double> MeasureMonitorProcessor(const std::string& path, double seconds)
{
    // Its input stays open, as a terminal's would, until it is stopped.
    int input[2];
    if (access(path.c_str(), X_OK) != 0 || pipe2(input, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        dup2(input[0], 0);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(path.c_str(), path.c_str(), "--json", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(input[0]);
    if (pid < 0) {
        close(input[1]);
        return std::nullopt;
    }
    // Its group, named before the child may have made it, so set here too.
    setpgid(pid, pid);
    GuardChild(-pid);

    usleep(kSettleMicroseconds);
    const ProcessSample before = SampleProcess(pid);
    const Clock::time_point start = Clock::now();
    usleep(static_cast<useconds_t>(seconds * 1e6));
    const ProcessSample after = SampleProcess(pid);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const bool stayedUp = !_HasExited(pid);

    if (stayedUp) {
        _Stop(pid);
    } else {
        kill(-pid, SIGKILL);
    }
    ReleaseChild(-pid);
    close(input[1]);
    if (!stayedUp) {
        return std::nullopt;
    }
    return ProcessorPercent(before, after, elapsed);
}

} // namespace TalmexBench
