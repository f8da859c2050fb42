// Heap allocations per service cycle once the service is warm. The channel
// service runs in this process with the simulated headset, and every call of
// the C library's allocator made away from this program's own thread is
// counted (Support/AllocationCounter.h), as the steady-state test counts
// them. Prints JSON (Figures.h); binds the agent's UDP ports.
//
//   talmex_allocation_measure [--quick]

#include "Agent/Device.h"
#include "Agent/Network.h"
#include "Figures.h"
#include "Support/AllocationCounter.h"
#include "Support/ProtocolBytes.h"
#include "Support/UdpClient.h"
#include "TestPaths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

namespace {

using namespace TalmexTest;
using Talmex::Singleton;
using Talmex::Agent::Device;
using Talmex::Agent::Network;

constexpr uint16_t kPort = 20962;
constexpr int kWarmUpCycles = 200;

struct Plan {
    int runs;
    int cyclesPerRun;
};

// Every counter changes, so every command reaches the plug-in each cycle.
void ChangeEveryWish(Wishes& wishes)
{
    ++wishes.latencyInputCounter;
    for (SensorWishes& sensor : wishes.sensors) {
        for (uint32_t* counter :
             {&sensor.predictionTimeCounter, &sensor.yawCorrectionCounter,
              &sensor.resetOrientationCounter, &sensor.magYawCorrectionCounter}) {
            ++*counter;
        }
        sensor.yawCorrection ^= 1;
    }
}

// One request per report; the reports that came back.
int Serve(UdpClient& client, Wishes& wishes, uint32_t& sequence, int cycles)
{
    int reports = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ChangeEveryWish(wishes);
        client.Send(RequestOf({77, 0, ++sequence}, wishes), kPort);
        if (client.Receive(1000)) {
            ++reports;
        }
    }
    return reports;
}

} // namespace

int main(int argc, char** argv)
{
    const bool isQuick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const Plan plan = isQuick ? Plan{3, 300} : Plan{5, 2000};
    if (!PortBlocker(kPort).IsHolding()) {
        std::fprintf(stderr, "talmex_allocation_measure: the agent's port %u is taken\n", kPort);
        return 2;
    }
    // The simulated headset is found beside the agent, in its folder.
    if (chdir(TALMEX_AGENT_FOLDER) != 0) {
        std::fprintf(stderr, "talmex_allocation_measure: no folder %s\n", TALMEX_AGENT_FOLDER);
        return 1;
    }
    Singleton<Device>::_instance.Initialize();
    Singleton<Network>::_instance.Initialize();

    UdpClient client;
    Wishes wishes;
    uint32_t sequence = 0;
    const bool isServed = ConnectTo(client, kPort, RequestOf({77, 0, ++sequence}, wishes)) &&
                          Serve(client, wishes, sequence, kWarmUpCycles) > 0;
    std::vector<double> perCycle;
    StartCountingAllocations();
    for (int run = 0; isServed && run < plan.runs; ++run) {
        const long before = CountedAllocations();
        const int reports = Serve(client, wishes, sequence, plan.cyclesPerRun);
        perCycle.push_back(static_cast<double>(CountedAllocations() - before) / reports);
    }
    StopCountingAllocations();

    Singleton<Network>::_instance.Finalize();
    Singleton<Device>::_instance.Finalize();
    if (!isServed) {
        std::fprintf(stderr, "talmex_allocation_measure: the service sent no reports\n");
        return 1;
    }
    TalmexBench::Figures figures;
    figures.Add("allocations_per_cycle", "", perCycle);
    figures.Print(stdout);
    return 0;
}
