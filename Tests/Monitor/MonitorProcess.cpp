#include "MonitorProcess.h"

#include "TestPaths.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace MonitorTest {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Time to tidy up after the stop, a stalled recording's reader included.
constexpr milliseconds kGraceTime{10000};

pid_t _Start(const MonitorRun& run, int output)
{
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    const int nothing = open("/dev/null", O_RDONLY);
    if (chdir(run.folder.c_str()) != 0 || nothing == -1) {
        _exit(126);
    }
    dup2(nothing, STDIN_FILENO);
    // As a shell starts it, whatever the test ignores.
    signal(SIGPIPE, SIG_DFL);
    dup2(output, STDOUT_FILENO);
    if (run.withErrors) {
        dup2(output, STDERR_FILENO);
    }
    if (run.fileSizeLimit != 0) {
        const rlimit limit = {run.fileSizeLimit, run.fileSizeLimit};
        // Ignored, the limit fails the write instead of killing the writer.
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    for (const std::string& entry : run.environment) {
        putenv(const_cast<char*>(entry.c_str()));
    }
    std::vector<char*> arguments = {const_cast<char*>(TALMEX_MONITOR_PATH)};
    for (const std::string& argument : run.arguments) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);
    execv(TALMEX_MONITOR_PATH, arguments.data());
    _exit(127);
}

// Reads what comes until the end of the output or the deadline; false at the
// deadline.
bool _ReadUntil(int input, std::string& text, Clock::time_point deadline,
                const std::string& stopText)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || (!stopText.empty() && text.find(stopText) != std::string::npos)) {
            return false;
        }
        pollfd ready = {input, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t size = read(input, buffer, sizeof buffer);
        if (size <= 0) {
            return true;
        }
        text.append(buffer, static_cast<size_t>(size));
    }
}

} // namespace

MonitorResult RunMonitor(const MonitorRun& run)
{
    MonitorResult result;
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return result;
    }
    const pid_t pid = _Start(run, pipeEnds[1]);
    close(pipeEnds[1]);
    if (pid < 0) {
        close(pipeEnds[0]);
        return result;
    }
    if (!_ReadUntil(pipeEnds[0], result.output, Clock::now() + run.timeout, run.stopOnOutput)) {
        if (run.onOutput && result.output.find(run.stopOnOutput) != std::string::npos) {
            run.onOutput(pid);
        } else {
            kill(pid, run.stopSignal);
        }
        if (!_ReadUntil(pipeEnds[0], result.output, Clock::now() + kGraceTime, std::string())) {
            kill(pid, SIGKILL);
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) == pid) {
        result.waitStatus = status;
    }
    return result;
}

bool IsRunning(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return false;
    }
    // "pid (name) state ...": the name may hold spaces and parentheses.
    const size_t end = line.rfind(')');
    return end != std::string::npos && end + 2 < line.size() && line[end + 2] != 'Z' &&
           line[end + 2] != 'X';
}

bool WaitUntilStopped(int pid, milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (IsRunning(pid) && Clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(10));
    }
    return !IsRunning(pid);
}

int ChildOf(int pid)
{
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
    int child = 0;
    children >> child;
    return child;
}

TemporaryFolder::TemporaryFolder()
{
    char path[] = "/tmp/talmex-monitor-test-XXXXXX";
    if (mkdtemp(path) != nullptr) {
        _path = path;
    }
}

TemporaryFolder::~TemporaryFolder()
{
    if (!_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(_path, ignored);
    }
}

} // namespace MonitorTest
