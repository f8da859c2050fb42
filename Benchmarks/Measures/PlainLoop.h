#pragma once

#include <cstdint>
#include <sys/types.h>

namespace TalmexBench {

// The anchor the service is held against: a child process that does nothing
// but sleep 2 ms and send one report-sized datagram, over and over, written
// as plainly as it can be. With minimal timer slack it asks the kernel for
// the same sleeps the agent's channel thread asks for.
class PlainLoop {
public:
    PlainLoop(uint16_t port, bool minimalTimerSlack);
    ~PlainLoop();

    PlainLoop(const PlainLoop&) = delete;
    PlainLoop& operator=(const PlainLoop&) = delete;

    pid_t Pid() const { return _pid; }

private:
    pid_t _pid = -1;
};

} // namespace TalmexBench
