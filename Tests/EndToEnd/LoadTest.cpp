// Load on the agent, end to end against the real binary: many starts and
// stops in a row.

#include "PrivateNetworkTest.h"
#include "Support/AgentProcess.h"
#include "Support/Elapsed.h"
#include "Support/UdpClient.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace TalmexTest;

using LoadTest = PrivateNetworkTest;

constexpr int kRestarts = 200;
constexpr int kRequestIntervalMicroseconds = 5000;
// Far beyond what the restarts take; the client stops sending by then.
constexpr int kMostRestartMilliseconds = 300000;

TEST_F(LoadTest, TwoHundredRestartsInARowWhileAClientKeepsSending)
{
    UdpClient client;
    std::atomic<bool> done{false};
    std::thread sending([&] {
        Requester requester{111};
        const Clock::time_point start = Clock::now();
        while (!done && MillisecondsSince(start) < kMostRestartMilliseconds) {
            client.Send(requester.Next(), kFirstPort);
            usleep(kRequestIntervalMicroseconds);
        }
    });

    const Clock::time_point start = Clock::now();
    int restarts = 0;
    for (; restarts < kRestarts; ++restarts) {
        AgentProcess agent(RecordingAgent("recording", _log));
        // The client sends to the first port only: a report means this
        // start bound it again.
        if (!client.Receive(5000)) {
            ADD_FAILURE() << "start " << restarts << " did not serve the first port";
            break;
        }
        agent.CloseInput();
        const std::optional<int> status = agent.WaitForExit(5000);
        if (status != 0) {
            ADD_FAILURE() << "stop " << restarts << " ended with " << status.value_or(-1);
            break;
        }
        client.Drain();
    }
    const int elapsed = MillisecondsSince(start);
    done = true;
    sending.join();
    std::printf("restarts: %d in %d ms, %d ms each\n", restarts, elapsed,
                elapsed / std::max(restarts, 1));
    RecordProperty("restarts", restarts);
    RecordProperty("restart_total_ms", elapsed);

    std::string expected;
    for (int i = 0; i < restarts; ++i) {
        expected += "OVR_Initialize()\nOVR_Destroy()\n";
    }
    EXPECT_EQ(_log.Text(), expected) << "every stop released the headset";
    for (uint16_t port = kFirstPort; port < kFirstPort + 3; ++port) {
        EXPECT_TRUE(PortBlocker(port).IsHolding()) << "port " << port << " is usable again";
    }
}

} // namespace
