// Load on the agent, end to end against the real binary: a flood from many
// senders while one client is served, and many starts and stops in a row.

#include "PrivateNetworkTest.h"
#include "Support/AgentProcess.h"
#include "Support/Elapsed.h"
#include "Support/KeptClient.h"
#include "Support/UdpClient.h"
#include "TestPaths.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <fstream>
#include <limits>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace TalmexTest;

using LoadTest = PrivateNetworkTest;

constexpr int kFlooders = 64;
constexpr int kUnfloodedMilliseconds = 2000;
constexpr int kFloodMilliseconds = 10000;
// Far more than can be sent in the flood's time; a bound all the same.
constexpr long long kMostSends = 1LL << 32;

// Resident memory of a process in KiB, or -1 when it cannot be read.
long ResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = -1;
            status >> kib;
            return kib;
        }
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return -1;
}

// Keeps the flood's own sending off the processors that the agent and the
// served client run on, as when the flood comes from other machines: the
// agent's share of the work is to receive and drop. With one processor there
// is nothing to split.
class ProcessorSplit {
public:
    ProcessorSplit()
    {
        _hasSaved = sched_getaffinity(0, sizeof _saved, &_saved) == 0;
        if (!_hasSaved || CPU_COUNT(&_saved) < 2) {
            return;
        }
        cpu_set_t served = _saved;
        for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
            if (CPU_ISSET(cpu, &served)) {
                CPU_CLR(cpu, &served);
                CPU_ZERO(&_flood);
                CPU_SET(cpu, &_flood);
                break;
            }
        }
        _isSplit = sched_setaffinity(0, sizeof served, &served) == 0;
    }

    ~ProcessorSplit()
    {
        if (_hasSaved) {
            sched_setaffinity(0, sizeof _saved, &_saved);
        }
    }

    ProcessorSplit(const ProcessorSplit&) = delete;
    ProcessorSplit& operator=(const ProcessorSplit&) = delete;

    // Moves the calling thread onto the flood's processor.
    void EnterFlood() const
    {
        if (_isSplit) {
            sched_setaffinity(0, sizeof _flood, &_flood);
        }
    }

private:
    cpu_set_t _saved;
    cpu_set_t _flood;
    bool _hasSaved = false;
    bool _isSplit = false;
};

// What flooders send: requests any client could send, and garbage.
std::vector<Bytes> FloodDatagrams()
{
    Wishes wishes;
    wishes.latencyInputCounter = 1;
    wishes.sensors[0] = SensorWishes{1, 1, 1, 1, 0.5f, 1, 1};
    Bytes overrun = HeaderOf(RequestHeader{0xF3, 0, 3});
    AppendWord(overrun, 0xFFFFFFFF);
    Bytes noise = {'T', 'L', 'X', '0'};
    for (int i = 0; i < 1000; ++i) {
        noise.push_back(static_cast<unsigned char>(i * 37));
    }
    return {
        HeaderOf(RequestHeader{0xF1, 0, 1}),
        RequestOf(RequestHeader{0xF2, 0, 2}, wishes),
        overrun,
        noise,
        {'T', 'L', 'X'},
        {'t', 'l', 'x', '0', 0, 0, 0, 0},
        {},
    };
}

// Senders on other loopback addresses, each with a port of its own.
class Flood {
public:
    Flood()
    {
        for (int i = 0; i < kFlooders; ++i) {
            const std::string address = "127.0.0." + std::to_string(2 + i);
            _senders.emplace_back(address.c_str());
        }
    }

    // Sends round the senders, never waiting, for the given time; gives the
    // datagrams sent.
    long long Run(int milliseconds)
    {
        const Clock::time_point start = Clock::now();
        long long sent = 0;
        for (long long i = 0; i < kMostSends; ++i) {
            if (i % 1024 == 0 && MillisecondsSince(start) >= milliseconds) {
                break;
            }
            const Bytes& datagram = _datagrams[static_cast<size_t>(i) % _datagrams.size()];
            UdpClient& sender = _senders[static_cast<size_t>(i % kFlooders)];
            sent += sender.Send(datagram, kFirstPort, MSG_DONTWAIT) ? 1 : 0;
        }
        return sent;
    }

    bool AnyReceived()
    {
        bool received = false;
        for (UdpClient& sender : _senders) {
            received = sender.Receive(0).has_value() || received;
        }
        return received;
    }

private:
    std::deque<UdpClient> _senders;
    const std::vector<Bytes> _datagrams = FloodDatagrams();
};

TEST_F(LoadTest, FloodFromManySendersLeavesTheServedClientItsChannelAndRate)
{
    const ProcessorSplit processors;
    AgentProcess::Options options;
    options.workingDirectory = TALMEX_AGENT_FOLDER; // the simulated headset
    AgentProcess agent(options);
    KeptClient client(101);
    const std::optional<Bytes> first = client.Connect();
    ASSERT_TRUE(first);
    const uint32_t session = ReportHeaderOf(*first).sessionToken;
    int foreignReports = 0;
    const auto check = [&](const Bytes& report) {
        foreignReports += ReportHeaderOf(report).sessionToken != session ? 1 : 0;
    };

    const double unflooded =
        client.ReceiveFor(kUnfloodedMilliseconds, check) * 1000.0 / kUnfloodedMilliseconds;
    const long residentBefore = ResidentKiB(agent.Pid());
    Flood flood;
    long long sent = 0;
    std::thread flooding([&] {
        processors.EnterFlood();
        sent = flood.Run(kFloodMilliseconds);
    });
    const double flooded =
        client.ReceiveFor(kFloodMilliseconds, check) * 1000.0 / kFloodMilliseconds;
    flooding.join();
    const long residentAfter = ResidentKiB(agent.Pid());
    usleep(100000);

    std::printf("flood: %.0f reports/s unflooded, %.0f flooded (%.0f%%); %lld datagrams from "
                "%d senders (%.0f/s); agent resident %ld KiB before, %ld after\n",
                unflooded, flooded, 100 * flooded / unflooded, sent, kFlooders,
                sent * 1000.0 / kFloodMilliseconds, residentBefore, residentAfter);
    RecordProperty("unflooded_reports_per_second", static_cast<int>(unflooded));
    RecordProperty("flooded_reports_per_second", static_cast<int>(flooded));
    RecordProperty("flood_datagrams", std::to_string(sent));
    RecordProperty("resident_kib_before", static_cast<int>(residentBefore));
    RecordProperty("resident_kib_after", static_cast<int>(residentAfter));

    EXPECT_TRUE(agent.IsRunning());
    EXPECT_EQ(foreignReports, 0) << "the client kept its channel";
    EXPECT_GE(flooded, 0.8 * unflooded);
    EXPECT_FALSE(flood.AnyReceived()) << "no flooder is ever answered";
    EXPECT_GT(sent, 0);
    ASSERT_GT(residentBefore, 0);
    EXPECT_LT(residentAfter - residentBefore, 1024);
}

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
        AgentProcess agent(ScriptedHeadsetAgent("scripted", _log));
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
