#pragma once

#include "ChildGuard.h"
#include "Support/AgentProcess.h"

#include <optional>

namespace TalmexBench {

// An agent started for a measurement: killed if the measurement is
// interrupted, otherwise stopped as a host stops it, by closing its input.
class GuardedAgent {
public:
    explicit GuardedAgent(const TalmexTest::AgentProcess::Options& options = {})
    {
        _process.emplace(options);
        _pid = _process->Pid();
        GuardChild(_pid);
    }

    ~GuardedAgent()
    {
        _process.reset();
        ReleaseChild(_pid);
    }

    GuardedAgent(const GuardedAgent&) = delete;
    GuardedAgent& operator=(const GuardedAgent&) = delete;

    pid_t Pid() const { return _pid; }
    void CloseInput() { _process->CloseInput(); }

private:
    std::optional<TalmexTest::AgentProcess> _process;
    pid_t _pid = -1;
};

} // namespace TalmexBench
