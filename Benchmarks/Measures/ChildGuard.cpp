#include "ChildGuard.h"

#include <atomic>
#include <csignal>
#include <initializer_list>
#include <unistd.h>

namespace TalmexBench {

namespace {

constexpr int kMostChildren = 16;
// Plain atomics: the signal handler reads them.
std::atomic<pid_t> _children[kMostChildren];

void _KillChildrenAndExit(int signal)
{
    for (std::atomic<pid_t>& child : _children) {
        const pid_t pid = child.load();
        if (pid != 0) {
            kill(pid, SIGKILL);
        }
    }
    _exit(128 + signal);
}

} // namespace

void KillChildrenOnSignals()
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, &_KillChildrenAndExit);
    }
}

void GuardChild(pid_t pid)
{
    // 0 and -1 would name this process's group and every process there is.
    if (pid == 0 || pid == -1) {
        return;
    }
    for (std::atomic<pid_t>& child : _children) {
        pid_t empty = 0;
        if (child.compare_exchange_strong(empty, pid)) {
            return;
        }
    }
}

void ReleaseChild(pid_t pid)
{
    for (std::atomic<pid_t>& child : _children) {
        pid_t guarded = pid;
        if (child.compare_exchange_strong(guarded, 0)) {
            return;
        }
    }
}

} // namespace TalmexBench
