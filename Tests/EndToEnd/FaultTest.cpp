// Faults around the agent, end to end against the real binary: another agent
// on the machine, plug-ins that are slow, odd, failing or incomplete, and a
// client that dies mid-session.

#include "PrivateNetworkTest.h"
#include "Support/AgentProcess.h"
#include "Support/Elapsed.h"
#include "Support/KeptClient.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace TalmexTest;

constexpr float kInfinity = std::numeric_limits<float>::infinity();
const Bytes kMagic = {'T', 'L', 'X', '0'};

// The scripted plug-in in an agent, scripted with the given answers.
AgentProcess::Options ScriptedAgent(const std::string& folder, const HeadsetCommandLog& log,
                                    const std::string& answers)
{
    AgentProcess::Options options = ScriptedHeadsetAgent(folder, log);
    options.environment.emplace_back("TALMEX_SCRIPTED_ANSWERS", answers);
    return options;
}

// Follows one session's reports: each must be a whole report of the session
// and the next in sequence.
class ReportSession {
public:
    void Take(const Bytes& report)
    {
        if (report.size() != kReportSize || Bytes(report.begin(), report.begin() + 4) != kMagic ||
            WordAt(report, 20) != 0x05031004) {
            ++_malformed;
            return;
        }
        const ReportHeader header = ReportHeaderOf(report);
        if (_reports > 0 &&
            (header.sessionToken != _last.sessionToken || header.sequence != _last.sequence + 1)) {
            ++_outOfSequence;
        }
        _last = header;
        ++_reports;
    }

    std::function<void(const Bytes&)> Taker()
    {
        return [this](const Bytes& report) { Take(report); };
    }

    int Malformed() const { return _malformed; }
    int OutOfSequence() const { return _outOfSequence; }
    const ReportHeader& Last() const { return _last; }

private:
    ReportHeader _last{};
    int _reports = 0;
    int _malformed = 0;
    int _outOfSequence = 0;
};

using FaultTest = PrivateNetworkTest;

// True once a socket of this network namespace is bound to the UDP port.
bool IsBound(uint16_t port)
{
    std::ifstream table("/proc/net/udp");
    std::ostringstream suffix;
    suffix << ':' << std::hex << std::uppercase << port;
    std::string line;
    std::getline(table, line); // the column titles
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot;
        std::string local;
        fields >> slot >> local;
        if (local.size() > suffix.str().size() &&
            local.compare(local.size() - suffix.str().size(), std::string::npos, suffix.str()) ==
                0) {
            return true;
        }
    }
    return false;
}

bool WaitUntilBound(uint16_t port)
{
    for (int i = 0; i < 500 && !IsBound(port); ++i) {
        usleep(10000);
    }
    return IsBound(port);
}

TEST_F(FaultTest, TwoAgentsForgedToServeEachOtherStayFreeForClients)
{
    HeadsetCommandLog secondLog;
    AgentProcess first(ScriptedHeadsetAgent("scripted", _log));
    ASSERT_TRUE(WaitUntilBound(kFirstPort));
    AgentProcess second(ScriptedHeadsetAgent("scripted", secondLog));
    ASSERT_TRUE(WaitUntilBound(kFirstPort + 1));

    // Each agent's request, as if the other had sent it: admitted, the two
    // would feed each other reports and hold both headsets.
    Requester forger{31};
    for (int i = 0; i < 5; ++i) {
        if (!SendForged(forger.Next(), kFirstPort, kFirstPort + 1) ||
            !SendForged(forger.Next(), kFirstPort + 1, kFirstPort)) {
            GTEST_SKIP() << "the forged datagram needs a raw socket (root)";
        }
        usleep(20000);
    }
    usleep(100000);
    EXPECT_EQ(_log.Text(), "");
    EXPECT_EQ(secondLog.Text(), "");

    KeptClient clients[] = {KeptClient(32), KeptClient(33)};
    EXPECT_TRUE(clients[0].Connect(kFirstPort));
    EXPECT_TRUE(clients[1].Connect(kFirstPort + 1));
    EXPECT_EQ(_log.Text(), "OVR_Initialize()\n");
    EXPECT_EQ(secondLog.Text(), "OVR_Initialize()\n");
}

TEST_F(FaultTest, SlowPlugInServesFewerReportsWellFormedAndInSequence)
{
    AgentProcess::Options options = ScriptedHeadsetAgent("scripted", _log);
    options.environment.emplace_back("TALMEX_SCRIPTED_QUERY_DELAY_US", "1000");
    AgentProcess agent(options);
    KeptClient client(41);
    client.RequestWishes().sensors[0].resetOrientationCounter = 1;
    ASSERT_TRUE(client.Connect());

    ReportSession session;
    const int reports = client.ReceiveFor(2000, session.Taker());
    EXPECT_EQ(session.Malformed(), 0);
    EXPECT_EQ(session.OutOfSequence(), 0);
    EXPECT_GE(session.Last().lastRequest + 1, client.Sequence()) << "requests are still accepted";
    // 32 queries of a millisecond each per report: at most about 31 a second.
    EXPECT_GE(reports, 10);
    EXPECT_LE(reports, 70);
    EXPECT_EQ(_log.Text(), "OVR_Initialize()\nOVR_ResetSensorOrientation(0)\n")
        << "the reset is done once";
}

// One odd answer of the plug-in, and what the report must make of it.
struct OddAnswer {
    const char* answer;
    std::function<void(const Bytes&)> expect;
};

uint32_t Bit(const Bytes& report, size_t integer, int bit)
{
    return ReportInteger(report, integer) >> bit & 1;
}

// Sensor records start at float 13, 18 floats each; sensor 1's values are
// its plug-in answers plus 1000.
size_t SensorFloat(int sensor, size_t index)
{
    return 13 + kSensorRecordFloats * static_cast<size_t>(sensor) + index;
}

TEST_F(FaultTest, OddPlugInValuesAreClampedOrPassedThroughAsTheProtocolSays)
{
    // Two runs, since some entry points are asked twice.
    const std::vector<std::vector<OddAnswer>> runs = {
        {
            {"OVR_GetScreenResolution 1 2147483647 70000",
             [](const Bytes& r) { EXPECT_EQ(ReportInteger(r, 0), 0xFFFFFFFFu); }},
            {"OVR_GetSensorCount 300", [](const Bytes& r) { EXPECT_EQ(ReportByte(r, 3), 255); }},
            {"OVR_GetScreenSize 1 nan inf",
             [](const Bytes& r) {
                 EXPECT_TRUE(std::isnan(ReportFloat(r, 0)));
                 EXPECT_EQ(ReportFloat(r, 1), kInfinity);
             }},
            {"OVR_GetEyeToScreenDistance 1 -inf",
             [](const Bytes& r) { EXPECT_EQ(ReportFloat(r, 2), -kInfinity); }},
            {"OVR_GetInterpupillaryDistance 1 3.4028234663852886e38",
             [](const Bytes& r) {
                 EXPECT_EQ(ReportFloat(r, 3), std::numeric_limits<float>::max());
             }},
            {"OVR_GetPlayerEyeHeight 1 1.401298464324817e-45",
             [](const Bytes& r) {
                 EXPECT_EQ(ReportFloat(r, 5), std::numeric_limits<float>::denorm_min());
             }},
            {"OVR_Update 1 255 0 128",
             [](const Bytes& r) { EXPECT_EQ(ReportInteger(r, 1) & 7, 5u) << "any non-zero flag"; }},
            {"OVR_IsHMDPresent 128", [](const Bytes& r) { EXPECT_EQ(Bit(r, 1, 3), 1u); }},
            {"OVR_IsSensorPresent 2",
             [](const Bytes& r) { EXPECT_EQ(ReportInteger(r, 2) & 1, 1u); }},
            {"OVR_DisplayLatencyScreenColor 1 255 7",
             [](const Bytes& r) {
                 EXPECT_EQ(ReportByte(r, 0), 255);
                 EXPECT_EQ(ReportByte(r, 1), 7);
                 EXPECT_EQ(ReportByte(r, 2), 0) << "left unwritten";
             }},
            {"OVR_GetSensorOrientation 1 nan -nan inf -inf",
             [](const Bytes& r) {
                 for (int s = 0; s < 2; ++s) {
                     EXPECT_TRUE(std::isnan(ReportFloat(r, SensorFloat(s, 0))));
                     EXPECT_TRUE(std::isnan(ReportFloat(r, SensorFloat(s, 1))));
                     EXPECT_EQ(ReportFloat(r, SensorFloat(s, 2)), kInfinity);
                     EXPECT_EQ(ReportFloat(r, SensorFloat(s, 3)), -kInfinity);
                 }
             }},
            {"OVR_GetAcceleration 1 -1e30",
             [](const Bytes& r) {
                 for (int s = 0; s < 2; ++s) {
                     EXPECT_EQ(ReportFloat(r, SensorFloat(s, 9)), -1e30f);
                     EXPECT_EQ(ReportFloat(r, SensorFloat(s, 10)), 0.0f) << "left unwritten";
                     EXPECT_EQ(ReportFloat(r, SensorFloat(s, 11)), 0.0f) << "left unwritten";
                     EXPECT_EQ(Bit(r, 2 + s, 6), 1u);
                 }
             }},
        },
        {
            {"OVR_GetScreenResolution 1 -1 -2147483648",
             [](const Bytes& r) { EXPECT_EQ(ReportInteger(r, 0), 0u); }},
            {"OVR_GetSensorCount -2147483648",
             [](const Bytes& r) { EXPECT_EQ(ReportByte(r, 3), 0); }},
            {"OVR_GetEyeOffset 1",
             [](const Bytes& r) {
                 EXPECT_EQ(ReportFloat(r, 6), 0.0f);
                 EXPECT_EQ(ReportFloat(r, 7), 0.0f);
                 EXPECT_EQ(Bit(r, 1, 11), 1u) << "valid though unwritten";
             }},
            {"OVR_GetDistortionCoefficients 0 nan inf -inf 1e38",
             [](const Bytes& r) {
                 EXPECT_TRUE(std::isnan(ReportFloat(r, 9)));
                 EXPECT_EQ(ReportFloat(r, 10), kInfinity);
                 EXPECT_EQ(ReportFloat(r, 11), -kInfinity);
                 EXPECT_EQ(ReportFloat(r, 12), 1e38f);
                 EXPECT_EQ(Bit(r, 1, 13), 0u) << "sent though invalid";
             }},
            {"OVR_GetSensorPredictionTime 0",
             [](const Bytes& r) {
                 for (int s = 0; s < 2; ++s) {
                     EXPECT_EQ(ReportFloat(r, SensorFloat(s, 8)), 0.0f);
                     EXPECT_EQ(Bit(r, 2 + s, 5), 0u);
                 }
             }},
            {"OVR_GetAngularVelocity 0;OVR_GetMagnetometer 1 inf",
             [](const Bytes& r) {
                 for (int s = 0; s < 2; ++s) {
                     EXPECT_EQ(ReportFloat(r, SensorFloat(s, 15)), kInfinity);
                     EXPECT_EQ(Bit(r, 2 + s, 7), 1u) << "the magnetometer alone is valid";
                     EXPECT_EQ(ReportInteger(r, 2 + s) >> 8, 0u);
                 }
             }},
        },
    };
    for (const std::vector<OddAnswer>& run : runs) {
        std::string answers;
        for (const OddAnswer& odd : run) {
            answers += std::string(odd.answer) + ";";
        }
        AgentProcess agent(ScriptedAgent("scripted", _log, answers));
        KeptClient client(51);
        const std::optional<Bytes> report = client.Connect();
        ASSERT_TRUE(report);
        ASSERT_EQ(report->size(), kReportSize);
        EXPECT_EQ(ReportByte(*report, 4), 2) << "always two sensor records";
        for (const OddAnswer& odd : run) {
            SCOPED_TRACE(odd.answer);
            odd.expect(*report);
        }
    }
}

TEST_F(FaultTest, FailedPlugInStartStillServesAndStops)
{
    AgentProcess agent(ScriptedAgent("scripted", _log, "OVR_Initialize 0"));
    KeptClient client(61);
    client.RequestWishes().sensors[0].resetOrientationCounter = 1;
    ASSERT_TRUE(client.Connect());
    ReportSession session;
    client.ReceiveFor(300, [&](const Bytes& report) {
        session.Take(report);
        EXPECT_EQ(Bit(report, 1, 5), 1u) << "the plug-in is still asked";
    });
    EXPECT_EQ(session.Malformed(), 0);
    EXPECT_EQ(session.OutOfSequence(), 0);
    EXPECT_GT(session.Last().sequence, 20u);

    agent.CloseInput();
    EXPECT_EQ(agent.WaitForExit(5000), 0);
    EXPECT_EQ(_log.Text(), "OVR_Initialize()\nOVR_ResetSensorOrientation(0)\nOVR_Destroy()\n");
}

TEST_F(FaultTest, PlugInLackingMostEntryPointsGivesNeutralValuesForTheRest)
{
    AgentProcess agent(ScriptedAgent("scripted-few-entry-points", _log,
                                     "OVR_GetScreenResolution 1 1280 800;"
                                     "OVR_GetEyeOffset 1 -0.03 0.03;"
                                     "OVR_GetAcceleration 1 0.5 9.75 -0.5;"
                                     "OVR_GetSensorCount 2;OVR_GetScreenSize 1 1 1"));
    KeptClient client(71);
    Wishes& wishes = client.RequestWishes();
    wishes.latencyInputCounter = 1;
    wishes.sensors[0] = SensorWishes{1, 1, 1, 1, 0.05f, 1, 1};
    const std::optional<Bytes> report = client.Connect();
    ASSERT_TRUE(report);

    // Only the resolution, the eye offset, sensor presence and acceleration
    // are there to answer; everything else is zero with its flag clear.
    Bytes expected;
    AppendWord(expected, 0x05031004);
    AppendWord(expected, 0x03200500);
    AppendWord(expected, 1u << 5 | 1u << 11);
    AppendWord(expected, 1u << 0 | 1u << 6);
    AppendWord(expected, 1u << 0 | 1u << 6);
    std::vector<float> floats(13 + 2 * kSensorRecordFloats, 0.0f);
    floats[6] = -0.03f;
    floats[7] = 0.03f;
    for (int s = 0; s < 2; ++s) {
        floats[SensorFloat(s, 9)] = static_cast<float>(0.5 + 1000.0 * s);
        floats[SensorFloat(s, 10)] = static_cast<float>(9.75 + 1000.0 * s);
        floats[SensorFloat(s, 11)] = static_cast<float>(-0.5 + 1000.0 * s);
    }
    for (float value : floats) {
        AppendWord(expected, BitsOf(value));
    }
    expected.insert(expected.end(), {0, 0, 0, 0, 2});
    EXPECT_EQ(Bytes(report->begin() + 20, report->end()), expected);

    // Of the client's five commands only the reset has an entry point.
    ReportSession session;
    client.ReceiveFor(200, session.Taker());
    EXPECT_EQ(session.Malformed(), 0);
    EXPECT_EQ(_log.Text(), "OVR_Initialize()\nOVR_ResetSensorOrientation(0)\n");
}

// A client in a process of its own, requesting every 100 ms for at most ten
// seconds; the test kills it.
pid_t StartClientProcess()
{
    const pid_t pid = fork();
    if (pid == 0) {
        UdpClient client;
        Requester requester{81};
        for (int i = 0; i < 100; ++i) {
            client.Send(requester.Next(), kFirstPort);
            usleep(100000);
        }
        _exit(0);
    }
    return pid;
}

TEST_F(FaultTest, KilledClientLosesItsChannelWithinASecondAndANewOneIsAdmitted)
{
    AgentProcess agent(ScriptedHeadsetAgent("scripted", _log));
    const pid_t lost = StartClientProcess();
    ASSERT_GT(lost, 0);
    const bool admitted = _log.EndsWith("OVR_Initialize()\n");
    // Halfway between two of its requests.
    usleep(350000);
    kill(lost, SIGKILL);
    const Clock::time_point killed = Clock::now();
    waitpid(lost, nullptr, 0);
    ASSERT_TRUE(admitted);

    EXPECT_TRUE(_log.EndsWith("OVR_Initialize()\nOVR_Destroy()\n"));
    const int released = MillisecondsSince(killed);
    EXPECT_LE(released, 1100);
    std::printf("lost client: headset released %d ms after the kill\n", released);
    RecordProperty("released_after_ms", released);

    KeptClient next(82);
    const std::optional<Bytes> report = next.Connect();
    ASSERT_TRUE(report);
    EXPECT_EQ(ReportHeaderOf(*report).clientToken, 82u);
    EXPECT_EQ(_log.Text(), "OVR_Initialize()\nOVR_Destroy()\nOVR_Initialize()\n");
}

} // namespace
