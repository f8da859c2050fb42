#include "PlainLoop.h"

#include "ChildGuard.h"

#include <arpa/inet.h>
#include <climits>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace TalmexBench {

namespace {

constexpr useconds_t kSleepMicroseconds = 2000;
constexpr size_t kReportBytes = 241;

[[noreturn]] void _SendForever(pid_t parent, uint16_t port, bool minimalTimerSlack)
{
    // Gone with its parent, and holding none of its descriptors: an agent's
    // input pipe kept open here would keep that agent alive.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
        _exit(0);
    }
    close_range(3, UINT_MAX, 0);
    if (minimalTimerSlack) {
        prctl(PR_SET_TIMERSLACK, 1UL);
    }
    const int sender = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const unsigned char report[kReportBytes] = {'T', 'L', 'X', '0'};
    for (;;) {
        usleep(kSleepMicroseconds);
        sendto(sender, report, sizeof report, 0, reinterpret_cast<const sockaddr*>(&address),
               sizeof address);
    }
}

} // namespace

PlainLoop::PlainLoop(uint16_t port, bool minimalTimerSlack)
{
    const pid_t parent = getpid();
    _pid = fork();
    if (_pid == 0) {
        _SendForever(parent, port, minimalTimerSlack);
    }
    if (_pid > 0) {
        GuardChild(_pid);
    }
}

PlainLoop::~PlainLoop()
{
    if (_pid > 0) {
        kill(_pid, SIGKILL);
        waitpid(_pid, nullptr, 0);
        ReleaseChild(_pid);
    }
}

} // namespace TalmexBench
