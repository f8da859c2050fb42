#include "Client/Client.h"
#include "Support/UdpClient.h"
#include "TestPaths.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Talmex::Client::Client;
using Talmex::Client::HeadsetState;
using Talmex::Client::Status;

constexpr uint16_t kFirstPort = 20962;

// The client against the real agent, in a private network when allowed so
// that the agent's ports are the test's alone.
class ClientTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (unshare(CLONE_NEWNET) == 0) {
            ASSERT_EQ(std::system("ip link set lo up >/dev/null 2>&1"), 0);
        }
    }

    void TearDown() override
    {
        if (!_logPath.empty()) {
            unlink(_logPath.c_str());
        }
    }

    // Makes the scripted plug-in the headset the agent serves, logging its
    // commands to a file of the test's own.
    void UseScriptedPlugIn()
    {
        char path[] = "/tmp/talmex-client-log-XXXXXX";
        const int file = mkstemp(path);
        ASSERT_NE(file, -1);
        close(file);
        _logPath = path;
        setenv("TALMEX_SCRIPTED_LOG", path, 1);
        _headset = "scripted";
    }

    std::string CommandLog() const
    {
        std::ifstream file(_logPath);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Keeps the client going for at most the time, until the log reads so.
    bool PollUntilLogIs(const std::string& expected, std::chrono::milliseconds time)
    {
        const auto deadline = Client::Clock::now() + time;
        while (Client::Clock::now() < deadline) {
            _client.Wait(_state, 10ms);
            if (CommandLog() == expected) {
                return true;
            }
        }
        return false;
    }

    bool Connect()
    {
        return _client.Spawn(TALMEX_AGENT_PATH, _headset) && _client.Wait(_state, 2s);
    }

    Client _client;
    HeadsetState _state;
    std::string _logPath;
    std::string _headset = Talmex::Client::kSimulatedHeadset;
};

TEST_F(ClientTest, SpawnsTheAgentDecodesItsReportsAndStopsIt)
{
    ASSERT_TRUE(Connect()) << _client.LastError();
    EXPECT_EQ(_client.Port(), kFirstPort);
    EXPECT_EQ(_client.GetStatus(), Status::kServing);
    EXPECT_TRUE(_state.display.hmdPresent);
    EXPECT_EQ(_state.display.resolution[0], 1280);
    EXPECT_EQ(_state.display.resolution[1], 800);
    EXPECT_EQ(_state.display.screenSize[0], 0.14976f);
    EXPECT_EQ(_state.sensorCount, 1);
    EXPECT_TRUE(_state.sensors[0].present && _state.sensors[0].orientationValid);
    EXPECT_FALSE(_state.sensors[1].present);

    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(_client.Wait(_state, 1s));
    }
    EXPECT_EQ(_client.GetCounters().reportsRejected, 0u);
    EXPECT_EQ(_client.GetCounters().sessions, 1u);
    EXPECT_GE(_client.GetCounters().requestsAccepted, 1u);

    _client.Stop();
    EXPECT_EQ(_client.Agent().ExitDescription(), "exited with status 0");
    EXPECT_EQ(_client.GetStatus(), Status::kIdle);
}

TEST_F(ClientTest, ObserverSeesEveryReportWithItsBytesEvenWhenPollKeepsTheNewest)
{
    struct Seen {
        HeadsetState report;
        TalmexTest::Bytes datagram;
        Client::Clock::time_point received;
    };
    std::vector<Seen> seen;
    _client.SetReportObserver([&seen](const HeadsetState& report, const unsigned char* datagram,
                                      size_t size, Client::Clock::time_point received) {
        seen.push_back({report, {datagram, datagram + size}, received});
    });
    ASSERT_TRUE(Connect()) << _client.LastError();
    usleep(100000); // a batch of reports waits on the socket
    ASSERT_TRUE(_client.Poll(_state));
    const auto after = Client::Clock::now();

    ASSERT_EQ(seen.size(), _client.GetCounters().reportsReceived);
    ASSERT_GE(seen.size(), 10u);
    EXPECT_EQ(seen.back().report.header.sequence, _state.header.sequence);
    for (size_t i = 0; i < seen.size(); ++i) {
        HeadsetState decoded;
        ASSERT_EQ(Talmex::Protocol::DecodeReport(seen[i].datagram.data(), seen[i].datagram.size(),
                                                 decoded),
                  Talmex::Protocol::ReportCheck::kValid);
        EXPECT_EQ(decoded.header.sequence, seen[i].report.header.sequence);
        EXPECT_EQ(seen[i].report.header.sequence, seen[0].report.header.sequence + i)
            << "every report, in order";
        if (i != 0) {
            EXPECT_GE(seen[i].received, seen[i - 1].received);
        }
    }
    // Arrival times, spread as the reports came, not the time of the Poll
    // that took the batch.
    EXPECT_LE(seen.back().received, after);
    EXPECT_GT(seen.back().received - seen[seen.size() - 10].received, 10ms);
}

TEST_F(ClientTest, EveryRequestReachesThePlugInExactlyOnce)
{
    UseScriptedPlugIn();
    ASSERT_TRUE(Connect()) << _client.LastError();
    _client.ResetOrientation(0);
    _client.SetPredictionTime(1, 0.05f);
    _client.SetYawCorrection(0, false);
    _client.SetMagYawCorrection(1, true);
    _client.FeedLatencyTester();
    // Long enough for several keep-alives, which must repeat nothing.
    usleep(300000);
    EXPECT_TRUE(PollUntilLogIs("OVR_Initialize()\n"
                               "OVR_ResetSensorOrientation(0)\n"
                               "OVR_SetSensorPredictionTime(1, 0.05)\n"
                               "OVR_EnableYawCorrection(0, 0)\n"
                               "OVR_EnableMagYawCorrection(1, 1)\n"
                               "OVR_ProcessLatencyInputs()\n",
                               1s))
        << CommandLog();
}

TEST_F(ClientTest, NewSessionAfterExpiryReappliesTheSettings)
{
    UseScriptedPlugIn();
    ASSERT_TRUE(Connect()) << _client.LastError();
    _client.SetPredictionTime(0, 0.02f);
    _client.ResetOrientation(0);
    const std::string firstSession =
        "OVR_Initialize()\nOVR_SetSensorPredictionTime(0, 0.02)\nOVR_ResetSensorOrientation(0)\n";
    ASSERT_TRUE(PollUntilLogIs(firstSession, 2s)) << CommandLog();

    usleep(1300000); // silent past the expiry: the agent drops the channel
    EXPECT_TRUE(PollUntilLogIs(
        firstSession + "OVR_Destroy()\nOVR_Initialize()\nOVR_SetSensorPredictionTime(0, 0.02)\n",
        3s))
        << CommandLog();
    EXPECT_EQ(_client.GetCounters().sessions, 2u);
    EXPECT_EQ(_client.GetStatus(), Status::kServing);
}

TEST_F(ClientTest, OnePollReadsABoundedBatchAndStillSendsWhatIsDue)
{
    TalmexTest::UdpClient agent;
    ASSERT_TRUE(_client.Attach("127.0.0.1", agent.Port()));
    // Room for more than one batch of the smallest datagrams.
    const int room = 1 << 20;
    setsockopt(_client.Descriptor(), SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    sockaddr_in client{};
    socklen_t length = sizeof client;
    ASSERT_EQ(getsockname(_client.Descriptor(), reinterpret_cast<sockaddr*>(&client), &length), 0);
    const size_t flood = Client::kDatagramsPerPoll + 100;
    for (size_t i = 0; i < flood; ++i) {
        ASSERT_TRUE(agent.Send({'T', 'L', 'X', '0'}, ntohs(client.sin_port)));
    }
    std::this_thread::sleep_for(Client::kKeepAliveInterval);
    const uint64_t sent = _client.GetCounters().requestsSent;
    EXPECT_FALSE(_client.Poll(_state));
    EXPECT_EQ(_client.GetCounters().reportsRejected, Client::kDatagramsPerPoll);
    EXPECT_EQ(_client.GetCounters().requestsSent, sent + 1);
    _client.Poll(_state);
    EXPECT_EQ(_client.GetCounters().reportsRejected, flood);
}

TEST_F(ClientTest, LearnsThePortItsChildBoundWhenTheFirstIsTaken)
{
    TalmexTest::PortBlocker taken(kFirstPort);
    ASSERT_TRUE(taken.IsHolding());
    ASSERT_TRUE(Connect()) << _client.LastError();
    EXPECT_EQ(_client.Port(), kFirstPort + 1);
}

TEST_F(ClientTest, DeadOrSilentAgentIsReportedWithinASecond)
{
    ASSERT_TRUE(Connect()) << _client.LastError();
    kill(_client.Agent().Pid(), SIGKILL);
    const auto killed = Client::Clock::now();
    while (_client.GetStatus() != Status::kAgentExited && Client::Clock::now() - killed < 1s) {
        _client.Wait(_state, 10ms);
    }
    EXPECT_EQ(_client.GetStatus(), Status::kAgentExited);
    EXPECT_EQ(_client.LastError(), "the agent killed by signal Killed");

    Client silent;
    ASSERT_TRUE(silent.Attach("127.0.0.1", kFirstPort));
    EXPECT_FALSE(silent.Wait(_state, 1s));
    EXPECT_EQ(silent.GetStatus(), Status::kNotAnswering);
}

} // namespace
