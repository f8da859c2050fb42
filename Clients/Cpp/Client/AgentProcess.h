#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace Talmex {
namespace Client {

// The agent started as a child, the way a host starts it: a pipe on its
// standard input, closed to stop it. The port it serves on is read from the
// child's own sockets, never guessed.
class AgentProcess {
public:
    AgentProcess() = default;
    ~AgentProcess();

    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    // Starts the agent at the path; false, with the reason in error, when it
    // could not be started.
    bool Start(const std::string& agentPath, std::string& error);
    bool IsStarted() const { return _pid > 0; }
    pid_t Pid() const { return _pid; }

    // The agent port the child has bound, or 0 while it has bound none.
    uint16_t BoundPort() const;

    // True once the child has ended; its status is then in ExitDescription.
    bool HasExited();
    std::string ExitDescription() const;

    // Closes the pipe and reaps the child, which stops within about 100 ms;
    // one that has not stopped within the time is killed.
    void Stop(int timeoutMilliseconds = 3000);

private:
    bool _Reap(bool wait);

    pid_t _pid = -1;
    int _input = -1;
    bool _exited = false;
    int _status = 0;
};

// The agent installed with this library, else one found on the PATH.
std::string DefaultAgentPath();

} // namespace Client
} // namespace Talmex
