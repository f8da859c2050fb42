// A step of the wall clock must neither end a channel early nor keep it
// longer. This program replaces the library's wall clock with one that the
// test steps, and runs the channel service in-process.

#include "Agent/Network.h"
#include "Common/Platform/AbsoluteTime.h"
#include "Support/UdpClient.h"

#include <atomic>
#include <chrono>

#include <gtest/gtest.h>

namespace {

std::atomic<double> _wallClockStep{0.0};

} // namespace

namespace Talmex {
namespace Platform {

// A wall clock that runs from a fixed day in 2023 at the pace of the
// monotonic clock, plus the test's steps.
double AbsoluteTimeGetCurrent()
{
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return 7.0e8 + duration<double>(steady_clock::now() - start).count() + _wallClockStep.load();
}

} // namespace Platform
} // namespace Talmex

namespace {

using Talmex::Singleton;
using Talmex::Agent::Network;
using namespace TalmexTest;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kPort = 20962;

int MillisecondsSince(Clock::time_point start)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(ClockStepTest, ChannelExpiresASecondAfterItsLastRequestWhateverTheWallClockDoes)
{
    Network& network = Singleton<Network>::_instance;
    network.Initialize();
    UdpClient client;
    uint32_t sequence = 0;
    for (const double step : {-5.0, 2.0}) {
        SCOPED_TRACE(testing::Message() << "wall clock stepped by " << step << " s");
        ASSERT_TRUE(ConnectTo(client, kPort, HeaderOf({9, 0, ++sequence})));
        const Clock::time_point lastRequest = Clock::now();
        bool stepped = false;
        int lastReportAt = 0;
        for (int i = 0; i < 5000 && client.Receive(300); ++i) {
            lastReportAt = MillisecondsSince(lastRequest);
            if (!stepped && lastReportAt >= 300) {
                _wallClockStep.store(_wallClockStep.load() + step);
                stepped = true;
            }
        }
        EXPECT_TRUE(stepped);
        EXPECT_GE(lastReportAt, 900);
        EXPECT_LE(lastReportAt, 3000);
    }
    network.Finalize();
}

} // namespace
