// The OpenHMD headset end to end: how far the orientation that OpenHMD's
// fusion makes of a fed steady yaw strays from the recorded truth, at 30 and
// at 180 degrees per second; and the agent's resident memory serving
// OpenHMD's Null device, beside the same serving the simulated headset.
// Prints JSON (Figures.h); binds the agent's UDP ports, so it stops at once,
// with status 2, when they are taken.
//
//   talmex_openhmd_measure [--quick]

#include "Figures.h"
#include "GuardedAgent.h"
#include "ProcessSample.h"
#include "Support/BoundPlugin.h"
#include "Support/KeptClient.h"
#include "Support/MotionRecording.h"
#include "TestPaths.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

using namespace TalmexTest;
using Clock = std::chrono::steady_clock;

constexpr double kFeedPeriod = 0.002;
constexpr double kFeedSeconds = 0.9;

// The largest angle between the fed External device's orientation and the
// recorded truth, in degrees, over one pass of a steady yaw; negative when
// the device could not be fed.
double LargestError(double degreesPerSecond)
{
    const std::string path = "/tmp/talmex-openhmd-measure-" + std::to_string(getpid());
    if (!WriteMotionRecording(path, {0, 0, degreesPerSecond * kDegree}, kFeedSeconds,
                              kFeedPeriod)) {
        return -1;
    }
    setenv("TALMEX_OPENHMD_DEVICE", "external", 1);
    setenv("TALMEX_REPLAY", path.c_str(), 1);
    BoundPlugin plugin(TALMEX_OPENHMD_HEADSET);
    const bool isFed = plugin.IsComplete() && plugin.Initialize();
    double largest = isFed ? 0 : -1;
    const Clock::time_point end =
        Clock::now() + std::chrono::milliseconds(static_cast<int>((kFeedSeconds + 0.05) * 1000));
    while (isFed && Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::microseconds(2000));
        OVR_MessageList messages{};
        plugin.Update(&messages);
        float head[4], truth[4];
        if (plugin.GetSensorOrientation(0, &head[0], &head[1], &head[2], &head[3]) &&
            plugin.GetSensorOrientation(1, &truth[0], &truth[1], &truth[2], &truth[3])) {
            const Quaternion h = {head[0], head[1], head[2], head[3]};
            const Quaternion t = {truth[0], truth[1], truth[2], truth[3]};
            largest = std::max(largest, h.AngleTo(t) / kDegree);
        }
    }
    if (isFed) {
        plugin.Destroy();
    }
    // The agents measured next inherit the environment.
    unsetenv("TALMEX_OPENHMD_DEVICE");
    unsetenv("TALMEX_REPLAY");
    unlink(path.c_str());
    return largest;
}

// The agent's resident memory after a client took the headset and was
// served for a second, in kB; negative when it was not served.
double ServedResident(const char* folder, const char* openHmdDevice)
{
    AgentProcess::Options options;
    options.workingDirectory = folder;
    if (openHmdDevice != nullptr) {
        options.environment.emplace_back("TALMEX_OPENHMD_DEVICE", openHmdDevice);
    }
    TalmexBench::GuardedAgent agent(options);
    KeptClient client(9);
    if (!client.Connect() || client.ReceiveFor(1000, [](const Bytes&) {}) == 0) {
        return -1;
    }
    return static_cast<double>(TalmexBench::SampleProcess(agent.Pid()).residentKilobytes);
}

template <class Measure>
std::vector<double> Runs(int count, Measure measure)
{
    std::vector<double> runs;
    for (int i = 0; i < count; ++i) {
        const double value = measure();
        if (value >= 0) {
            runs.push_back(value);
        }
    }
    return runs;
}

} // namespace

int main(int argc, char** argv)
{
    const bool isQuick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int runs = isQuick ? 1 : 3;
    for (uint16_t port : Talmex::Protocol::kAgentPorts) {
        if (!PortBlocker(port).IsHolding()) {
            std::fprintf(stderr, "talmex_openhmd_measure: the agent's port %u is taken\n", port);
            return 2;
        }
    }
    TalmexBench::KillChildrenOnSignals();
    TalmexBench::Figures figures;
    figures.Add("openhmd_error_30", "°", Runs(runs, [] { return LargestError(30); }));
    figures.Add("openhmd_error_180", "°", Runs(runs, [] { return LargestError(180); }));
    figures.Add("openhmd_resident", "kB",
                Runs(runs, [] { return ServedResident(TALMEX_OPENHMD_FOLDER, "null"); }));
    figures.Add("simulated_resident", "kB",
                Runs(runs, [] { return ServedResident(TALMEX_AGENT_FOLDER, nullptr); }));
    figures.Print(stdout);
    return 0;
}
