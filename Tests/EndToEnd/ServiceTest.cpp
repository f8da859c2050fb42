#include "Support/AgentProcess.h"
#include "Support/Elapsed.h"
#include "Support/HeadsetCommandLog.h"
#include "Support/PrivateNetwork.h"
#include "Support/UdpClient.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace TalmexTest;

// The agent served from the scripted plug-in's folder, with its commands
// logged to a file of the test's own.
class ServiceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(_log.Path().empty()); }

    AgentProcess::Options Options() const { return ScriptedHeadsetAgent("scripted", _log); }
    std::string CommandLog() const { return _log.Text(); }
    bool CommandLogEndsWith(const std::string& text) const { return _log.EndsWith(text); }

    HeadsetCommandLog _log;
};

TEST_F(ServiceTest, AdmitsOneClientAndReportsToItEveryCycle)
{
    AgentProcess agent(Options());
    UdpClient client;
    Requester requester{0xABCD};
    const std::optional<Bytes> first = ConnectTo(client, kFirstPort, requester.Next());
    ASSERT_TRUE(first);
    ASSERT_EQ(first->size(), kReportSize);
    EXPECT_EQ(Bytes(first->begin(), first->begin() + 4), (Bytes{'T', 'L', 'X', '0'}));
    EXPECT_EQ(ReportHeaderOf(*first).clientToken, 0xABCDu);
    EXPECT_EQ(ReportHeaderOf(*first).sequence, 1u);
    EXPECT_EQ(ReportHeaderOf(*first).lastRequest, requester.sequence);
    EXPECT_EQ(WordAt(*first, 20), 0x05031004u);

    // Reports come unasked, one per cycle, numbered without gaps.
    uint32_t previous = ReportHeaderOf(*first).sequence;
    int reports = 0;
    const Clock::time_point start = Clock::now();
    while (MillisecondsSince(start) < 500) {
        const std::optional<Bytes> report = client.Receive(100);
        ASSERT_TRUE(report);
        const ReportHeader header = ReportHeaderOf(*report);
        EXPECT_EQ(header.sequence, previous + 1);
        EXPECT_EQ(header.sessionToken, ReportHeaderOf(*first).sessionToken);
        previous = header.sequence;
        ++reports;
    }
    EXPECT_GT(reports, 25) << "a cycle is a 2 ms sleep and its work";
    EXPECT_EQ(CommandLog(), "OVR_Initialize()\n");
}

TEST_F(ServiceTest, IgnoresEveryOtherAddressWhileAClientIsServed)
{
    AgentProcess agent(Options());
    UdpClient served;
    UdpClient other;
    Requester servedRequests{1};
    Requester otherRequests{2};
    ASSERT_TRUE(ConnectTo(served, kFirstPort, servedRequests.Next()));
    for (int i = 0; i < 5; ++i) {
        other.Send(otherRequests.Next(), kFirstPort);
        served.Send(servedRequests.Next(), kFirstPort);
        usleep(20000);
    }
    EXPECT_FALSE(other.Receive(200)) << "nothing is sent to an address without a channel";
    served.Drain();
    const std::optional<Bytes> report = served.Receive(500);
    ASSERT_TRUE(report);
    EXPECT_EQ(ReportHeaderOf(*report).clientToken, 1u);
    EXPECT_EQ(CommandLog(), "OVR_Initialize()\n");
}

TEST_F(ServiceTest, DatagramsFromAgentPortsAreNeverAdmitted)
{
    AgentProcess agent(Options());
    Requester requester{12};
    // Another agent's ports, and a report forged to come from the agent
    // itself, repeated until the agent has surely bound its port.
    UdpClient otherAgents[] = {UdpClient("127.0.0.1", kFirstPort + 1),
                               UdpClient("127.0.0.1", kFirstPort + 2)};
    bool forged = true;
    for (int i = 0; i < 10; ++i) {
        for (UdpClient& otherAgent : otherAgents) {
            otherAgent.Send(requester.Next(), kFirstPort);
        }
        forged = SendForged(requester.Next(), kFirstPort, kFirstPort) && forged;
        usleep(50000);
    }
    for (UdpClient& otherAgent : otherAgents) {
        EXPECT_FALSE(otherAgent.Receive(0));
    }
    UdpClient client;
    EXPECT_TRUE(ConnectTo(client, kFirstPort, requester.Next())) << "the headset stays free";
    EXPECT_EQ(CommandLog(), "OVR_Initialize()\n");
    if (!forged) {
        GTEST_SKIP() << "the forged datagram needs a raw socket (root)";
    }
}

TEST_F(ServiceTest, SilentClientExpiresAfterASecondAndComesBackAsANewSession)
{
    AgentProcess agent(Options());
    UdpClient client;
    Requester requester{3};
    const std::optional<Bytes> first = ConnectTo(client, kFirstPort, requester.Next());
    ASSERT_TRUE(first);
    const Clock::time_point lastRequest = Clock::now();

    // Reports go on for about a second after the last request, then stop.
    int lastReportAt = 0;
    for (int i = 0; i < 5000 && client.Receive(300); ++i) {
        lastReportAt = MillisecondsSince(lastRequest);
    }
    EXPECT_GE(lastReportAt, 900);
    EXPECT_LE(lastReportAt, 3000);
    EXPECT_TRUE(CommandLogEndsWith("OVR_Initialize()\nOVR_Destroy()\n"));

    const std::optional<Bytes> again = ConnectTo(client, kFirstPort, requester.Next());
    ASSERT_TRUE(again);
    EXPECT_EQ(ReportHeaderOf(*again).sequence, 1u) << "a new channel numbers its reports afresh";
    EXPECT_NE(ReportHeaderOf(*again).sessionToken, ReportHeaderOf(*first).sessionToken);
    EXPECT_EQ(CommandLog(), "OVR_Initialize()\nOVR_Destroy()\nOVR_Initialize()\n");
}

TEST_F(ServiceTest, RequestsEvery500MillisecondsKeepTheChannel)
{
    AgentProcess agent(Options());
    UdpClient client;
    Requester requester{4};
    const std::optional<Bytes> first = ConnectTo(client, kFirstPort, requester.Next());
    ASSERT_TRUE(first);
    Clock::time_point lastSent = Clock::now();
    const Clock::time_point start = Clock::now();
    while (MillisecondsSince(start) < 2600) {
        if (MillisecondsSince(lastSent) >= 500) {
            client.Send(requester.Next(), kFirstPort);
            lastSent = Clock::now();
        }
        const std::optional<Bytes> report = client.Receive(300);
        ASSERT_TRUE(report) << "reports stopped after " << MillisecondsSince(start) << " ms";
        ASSERT_EQ(ReportHeaderOf(*report).sessionToken, ReportHeaderOf(*first).sessionToken);
    }
    EXPECT_EQ(CommandLog(), "OVR_Initialize()\n");
}

TEST_F(ServiceTest, RefusedRequestsDoNotKeepTheChannel)
{
    AgentProcess agent(Options());
    UdpClient client;
    // The first request latches client token 5; every later one claims 6.
    const std::optional<Bytes> first =
        ConnectTo(client, kFirstPort, HeaderOf(RequestHeader{5, 0, 1}));
    ASSERT_TRUE(first);
    uint32_t sequence = 1;
    for (int i = 0; i < 15; ++i) {
        client.Send(HeaderOf(RequestHeader{6, 0, ++sequence}), kFirstPort);
        usleep(100000);
    }
    // The channel expired meanwhile and a later request opened a new one.
    EXPECT_TRUE(CommandLogEndsWith("OVR_Initialize()\nOVR_Destroy()\nOVR_Initialize()\n"));
}

TEST_F(ServiceTest, MalformedDatagramsChangeNothing)
{
    AgentProcess agent(Options());
    UdpClient stranger;
    const Bytes garbage[] = {
        {'T', 'L', 'X'},
        {'t', 'l', 'x', '0', 0, 0, 0, 0},
        {'T', 'L', 'X', '1'},
        {},
    };
    for (const Bytes& datagram : garbage) {
        stranger.Send(datagram, kFirstPort);
    }
    EXPECT_FALSE(stranger.Receive(300)) << "no channel for datagrams without the magic";

    UdpClient client;
    Requester requester{7};
    ASSERT_TRUE(ConnectTo(client, kFirstPort, requester.Next()));

    // From the served client itself: a block that overruns with every count
    // at its maximum, the largest datagrams there are (one refused by its
    // session token, one without the magic), a truncated header.
    Bytes overrun = requester.Next();
    AppendWord(overrun, 0xFFFFFFFF);
    Bytes largest = HeaderOf(RequestHeader{7, 0x0BADBAD0, requester.sequence + 1});
    AppendWord(largest, 0x01002003);
    largest.resize(65507, 0xA5);
    Bytes largestWithoutMagic = largest;
    largestWithoutMagic[0] = 'X';
    Bytes truncated = requester.Next();
    truncated.resize(13);
    for (const Bytes* datagram : {&overrun, &largest, &largestWithoutMagic, &truncated}) {
        for (const Bytes& bad : garbage) {
            client.Send(bad, kFirstPort);
        }
        client.Send(*datagram, kFirstPort);
    }
    client.Drain();
    const std::optional<Bytes> report = client.Receive(500);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->size(), kReportSize);
    EXPECT_TRUE(agent.IsRunning());
    EXPECT_EQ(CommandLog(), "OVR_Initialize()\n");
}

TEST_F(ServiceTest, StopReleasesTheDeviceBeforeExit)
{
    AgentProcess agent(Options());
    UdpClient client;
    Requester requester{8};
    ASSERT_TRUE(ConnectTo(client, kFirstPort, requester.Next()));
    agent.CloseInput();
    EXPECT_EQ(agent.WaitForExit(5000), 0);
    EXPECT_EQ(CommandLog(), "OVR_Initialize()\nOVR_Destroy()\n");
    client.Drain();
    EXPECT_FALSE(client.Receive(100));
}

// Runs the command, quietly; true when it succeeded.
bool RunQuietly(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

TEST_F(ServiceTest, ChannelWhoseReportCannotBeSentIsDroppedInThatCycle)
{
    // A private network, where the client's address can be taken away so
    // that the agent's next report to it fails.
    if (!EnterPrivateNetwork()) {
        GTEST_SKIP() << "needs a private network namespace (root)";
    }
    ASSERT_TRUE(RunQuietly("ip address add 10.77.0.1/32 dev lo"));
    AgentProcess agent(Options());
    UdpClient client("10.77.0.1");
    Requester requester{11};
    ASSERT_TRUE(ConnectTo(client, kFirstPort, requester.Next()));

    ASSERT_TRUE(RunQuietly("ip address del 10.77.0.1/32 dev lo"));
    const Clock::time_point removed = Clock::now();
    EXPECT_TRUE(CommandLogEndsWith("OVR_Initialize()\nOVR_Destroy()\n"));
    EXPECT_LT(MillisecondsSince(removed), 900) << "well before the channel would expire";
}

TEST_F(ServiceTest, FallsBackToTheNextFreePort)
{
    PortBlocker first(kFirstPort);
    ASSERT_TRUE(first.IsHolding());
    AgentProcess agent(Options());
    UdpClient client;
    Requester requester{9};
    EXPECT_TRUE(ConnectTo(client, kFirstPort + 1, requester.Next()));
}

// All three of the agent's ports, held by another program.
struct AllPortsTaken {
    PortBlocker blockers[3] = {PortBlocker(kFirstPort), PortBlocker(kFirstPort + 1),
                               PortBlocker(kFirstPort + 2)};

    bool AreHeld() const
    {
        return blockers[0].IsHolding() && blockers[1].IsHolding() && blockers[2].IsHolding();
    }
};

TEST_F(ServiceTest, WaitsForAPortToBeFreed)
{
    AllPortsTaken taken;
    ASSERT_TRUE(taken.AreHeld());
    AgentProcess agent(Options());
    usleep(300000);
    taken.blockers[2].Release();
    UdpClient client;
    Requester requester{10};
    EXPECT_TRUE(ConnectTo(client, kFirstPort + 2, requester.Next()));
}

TEST_F(ServiceTest, StopsAtOnceWhileNoPortIsFree)
{
    AllPortsTaken taken;
    ASSERT_TRUE(taken.AreHeld());
    AgentProcess agent(Options());
    usleep(300000);
    const Clock::time_point stop = Clock::now();
    agent.CloseInput();
    EXPECT_EQ(agent.WaitForExit(5000), 0);
    EXPECT_LT(MillisecondsSince(stop), 1000);
}

} // namespace
