#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace TalmexTest {

// The agent binary, started as a host starts it. Every wait is bounded.
class AgentProcess {
public:
    enum class Input { Pipe, DevNull, Closed };

    struct Options {
        Input input = Input::Pipe;
        // Where the agent starts, and so where it looks for the plug-in first.
        std::string workingDirectory;
        // Added to the agent's environment: the agent reads none, but a test
        // plug-in may.
        std::vector<std::pair<std::string, std::string>> environment;
        // When set, the agent's standard output and error go to this file.
        std::string outputPath;
    };

    AgentProcess() : AgentProcess(Options()) {}
    explicit AgentProcess(const Options& options);
    ~AgentProcess();

    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    bool IsRunning();
    pid_t Pid() const { return _pid; }
    // Writes into the agent's standard input pipe; false when it is gone.
    bool WriteInput(const void* data, size_t size);
    void CloseInput();
    // The exit status, or nothing if the agent has not exited within the time.
    std::optional<int> WaitForExit(int timeoutMilliseconds);
    // A second descriptor on the agent's end of the pipe, for looking at its mode.
    int InputReadEnd() const { return _readEnd; }

private:
    pid_t _pid = -1;
    int _writeEnd = -1;
    int _readEnd = -1;
    std::optional<int> _status;
};

} // namespace TalmexTest
