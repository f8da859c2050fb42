// End to end: how many reports a client receives per second, against what the
// service cycle allows, and how much processor time the agent takes while it
// serves one client and while it is idle. Binds the agent's UDP ports.
//
//   talmex_service_measure [seconds per phase, default 10]

#include "Support/AgentProcess.h"
#include "Support/ProtocolBytes.h"
#include "Support/UdpClient.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace TalmexTest;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kPort = 20962;
constexpr double kServingSleepMilliseconds = 2.0;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of every thread of the process, in seconds.
double ProcessorSeconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double seconds = 0;
    if (DIR* directory = opendir(tasks.c_str())) {
        while (const dirent* entry = readdir(directory)) {
            if (entry->d_name[0] == '.') {
                continue;
            }
            std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
            double nanoseconds = 0;
            if (schedstat >> nanoseconds) {
                seconds += nanoseconds * 1e-9;
            }
        }
        closedir(directory);
    }
    return seconds;
}

// What one cycle's sleep really takes here: the ceiling of the report rate.
double MeasuredSleepMilliseconds()
{
    constexpr int kSleeps = 500;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kSleeps; ++i) {
        usleep(static_cast<useconds_t>(kServingSleepMilliseconds * 1000));
    }
    return SecondsSince(start) * 1000 / kSleeps;
}

} // namespace

int main(int argc, char** argv)
{
    const double phaseSeconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    AgentProcess agent;

    usleep(500000);
    const double idleStart = ProcessorSeconds(agent.Pid());
    const Clock::time_point idleClock = Clock::now();
    usleep(static_cast<useconds_t>(phaseSeconds * 1e6));
    const double idleShare =
        (ProcessorSeconds(agent.Pid()) - idleStart) / SecondsSince(idleClock) * 100;

    UdpClient client;
    uint32_t sequence = 0;
    auto next = [&] { return HeaderOf(RequestHeader{1, 0, ++sequence}); };
    if (!ConnectTo(client, kPort, next())) {
        std::fprintf(stderr, "the agent did not answer on port %u\n", kPort);
        return 1;
    }
    long reports = 0;
    const double servingStart = ProcessorSeconds(agent.Pid());
    const Clock::time_point servingClock = Clock::now();
    Clock::time_point lastRequest = servingClock;
    while (SecondsSince(servingClock) < phaseSeconds) {
        if (SecondsSince(lastRequest) >= 0.2) {
            client.Send(next(), kPort);
            lastRequest = Clock::now();
        }
        if (client.Receive(100)) {
            ++reports;
        }
    }
    const double servingSeconds = SecondsSince(servingClock);
    const double servingShare =
        (ProcessorSeconds(agent.Pid()) - servingStart) / servingSeconds * 100;
    const double reportsPerSecond = reports / servingSeconds;
    const double sleepMilliseconds = MeasuredSleepMilliseconds();
    const double allowedPerSecond = 1000 / sleepMilliseconds;

    std::printf("| measure | value |\n|---|---|\n");
    std::printf("| reports received per second | %.1f |\n", reportsPerSecond);
    std::printf("| one %.0f ms sleep here takes | %.3f ms |\n", kServingSleepMilliseconds,
                sleepMilliseconds);
    std::printf("| reports the sleep alone allows per second | %.1f |\n", allowedPerSecond);
    std::printf("| received of allowed | %.1f %% |\n", reportsPerSecond / allowedPerSecond * 100);
    std::printf("| agent processor time, serving one client | %.2f %% of one core |\n",
                servingShare);
    std::printf("| agent processor time, idle | %.3f %% of one core |\n", idleShare);
    return 0;
}
