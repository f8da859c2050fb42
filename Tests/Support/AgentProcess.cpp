#include "Support/AgentProcess.h"

#include "TestPaths.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace TalmexTest {

AgentProcess::AgentProcess(const Options& options)
{
    const Input input = options.input;
    int pipeEnds[2] = {-1, -1};
    if (input == Input::Pipe && pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return;
    }
    _pid = fork();
    if (_pid == 0) {
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        for (const auto& [name, value] : options.environment) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        if (!options.outputPath.empty()) {
            const int output = open(options.outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (output == -1) {
                _exit(126);
            }
            dup2(output, 1);
            dup2(output, 2);
        }
        switch (input) {
        case Input::Pipe:
            dup2(pipeEnds[0], 0);
            break;
        case Input::DevNull: {
            const int null = open("/dev/null", O_RDONLY);
            dup2(null, 0);
            break;
        }
        case Input::Closed:
            close(0);
            break;
        }
        execl(TALMEX_AGENT_PATH, TALMEX_AGENT_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (input == Input::Pipe) {
        _readEnd = pipeEnds[0];
        _writeEnd = pipeEnds[1];
        signal(SIGPIPE, SIG_IGN);
    }
}

AgentProcess::~AgentProcess()
{
    CloseInput();
    if (!WaitForExit(5000)) {
        kill(_pid, SIGKILL);
        WaitForExit(5000);
    }
    if (_readEnd != -1) {
        close(_readEnd);
    }
}

bool AgentProcess::IsRunning()
{
    return _pid > 0 && !WaitForExit(0);
}

bool AgentProcess::WriteInput(const void* data, size_t size)
{
    return _writeEnd != -1 && write(_writeEnd, data, size) == static_cast<ssize_t>(size);
}

void AgentProcess::CloseInput()
{
    if (_writeEnd != -1) {
        close(_writeEnd);
        _writeEnd = -1;
    }
}

std::optional<int> AgentProcess::WaitForExit(int timeoutMilliseconds)
{
    if (_status || _pid <= 0) {
        return _status;
    }
    for (int waited = 0;; waited += 10) {
        int status = 0;
        const pid_t result = waitpid(_pid, &status, WNOHANG);
        if (result == _pid) {
            _status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return _status;
        }
        if (result == -1 && errno != EINTR) {
            return std::nullopt;
        }
        if (waited >= timeoutMilliseconds) {
            return std::nullopt;
        }
        usleep(10000);
    }
}

} // namespace TalmexTest
