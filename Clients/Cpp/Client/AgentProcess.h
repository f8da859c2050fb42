#pragma once

#include "Client/AgentOutput.h"
#include "Client/AgentSearch.h"
#include "Client/Headsets.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace Talmex {
namespace Client {

// The agent started as a child, the way a host starts it: a pipe on its
// standard input, closed to stop it, and one for its standard output and
// error, which the host keeps the last lines of. The port it serves on is
// read from the child's own sockets, never guessed.
class AgentProcess {
public:
    AgentProcess() = default;
    ~AgentProcess();

    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    // Starts the agent at the path (empty: FindAgent's) in the folder of the
    // headset (see Headsets.h), never in the host's own working directory,
    // where a stray plug-in would be loaded. False, with the reason in error,
    // when it could not be started.
    bool Start(const std::string& agentPath, const std::string& headset, std::string& error);
    bool IsStarted() const { return _pid > 0; }
    pid_t Pid() const { return _pid; }

    // The agent port the child has bound, or 0 while it has bound none.
    uint16_t BoundPort() const;

    // True once the child has ended; its status is then in ExitDescription.
    // Takes in what the child has printed so far, first.
    bool HasExited();
    std::string ExitDescription() const;

    // What the child has printed so far, taken in by HasExited and Stop; whole
    // once it has ended, and kept until the next start.
    const AgentOutput& Output() const { return _output; }

    // Closes the pipe and reaps the child, which stops within about 100 ms;
    // one that has not stopped within the time is killed.
    void Stop(int timeoutMilliseconds = 3000);

private:
    bool _Reap(bool wait);
    // Reads what the pipe holds, a bounded amount; true at its end.
    bool _ReadOutput();
    void _TakeOutput();
    void _EndOutput();

    pid_t _pid = -1;
    int _input = -1;
    int _outputPipe = -1;
    AgentOutput _output;
    bool _exited = false;
    int _status = 0;
};

} // namespace Client
} // namespace Talmex
