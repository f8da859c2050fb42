// The channel service, run in this process with each headset plug-in built
// here, must not allocate once it has served its first requests and reports.

#include "Agent/Device.h"
#include "Agent/Network.h"
#include "Support/AllocationCounter.h"
#include "Support/ProtocolBytes.h"
#include "Support/UdpClient.h"
#include "TestPaths.h"

#include <cstdlib>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using Talmex::Singleton;
using Talmex::Agent::Device;
using Talmex::Agent::Network;
using namespace TalmexTest;

constexpr uint16_t kPort = 20962;

struct Headset {
    const char* name;
    // Where the agent finds it first, and what chooses its device.
    const char* folder;
    const char* openHmdDevice;
};

const Headset kHeadsets[] = {
    {"SimulatedHeadset", TALMEX_AGENT_FOLDER, nullptr},
#ifdef TALMEX_OPENHMD_FOLDER
    {"OpenHmdNullDevice", TALMEX_OPENHMD_FOLDER, "null"},
#endif
};

void PrintTo(const Headset& headset, std::ostream* out)
{
    *out << headset.name;
}

class SteadyStateAllocationTest : public testing::TestWithParam<Headset> {};

TEST_P(SteadyStateAllocationTest, ServingRequestsAndReportsAllocatesNothing)
{
    ASSERT_EQ(chdir(GetParam().folder), 0);
    if (GetParam().openHmdDevice != nullptr) {
        setenv("TALMEX_OPENHMD_DEVICE", GetParam().openHmdDevice, 1);
    }
    Singleton<Device>::_instance.Initialize();
    Singleton<Network>::_instance.Initialize();

    UdpClient client;
    Wishes wishes;
    uint32_t sequence = 0;
    auto next = [&] {
        // Counters change every time, so every command reaches the plug-in.
        ++wishes.latencyInputCounter;
        for (SensorWishes& sensor : wishes.sensors) {
            ++sensor.predictionTimeCounter;
            ++sensor.yawCorrectionCounter;
            ++sensor.resetOrientationCounter;
            ++sensor.magYawCorrectionCounter;
            sensor.predictionTimeSeconds = 0.02f;
            sensor.yawCorrection ^= 1;
        }
        return RequestOf({77, 0, ++sequence}, wishes);
    };
    ASSERT_TRUE(ConnectTo(client, kPort, next()));

    // The test's own thread may allocate as it likes, the channel thread may not.
    int reports = 0;
    for (int cycle = 0; cycle < 1100; ++cycle) {
        if (cycle == 100) {
            StartCountingAllocations();
            reports = 0;
        }
        ASSERT_TRUE(client.Send(next(), kPort));
        if (client.Receive(1000)) {
            ++reports;
        }
    }
    StopCountingAllocations();
    const long allocations = CountedAllocations();

    Singleton<Network>::_instance.Finalize();
    Singleton<Device>::_instance.Finalize();
    EXPECT_GE(reports, 1000);
    EXPECT_EQ(allocations, 0);
}

INSTANTIATE_TEST_SUITE_P(Headsets, SteadyStateAllocationTest, testing::ValuesIn(kHeadsets),
                         [](const testing::TestParamInfo<Headset>& info) {
                             return info.param.name;
                         });

} // namespace
