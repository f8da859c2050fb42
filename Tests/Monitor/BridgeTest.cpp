#include "MonitorProcess.h"
#include "ReportLines.h"

#include "Client/HeadsetState.h"
#include "Protocol/Coding.h"
#include "Support/PrivateNetwork.h"
#include "Support/UdpClient.h"

#include <cstdio>
#include <cstring>
#include <sys/wait.h>

#include <gtest/gtest.h>

namespace {

using namespace MonitorTest;
using TalmexTest::Bytes;

constexpr int kReports = 100;

// Runs the monitor with these arguments and a hub at the address.
MonitorResult _RunWithHub(const std::string& hub, std::vector<std::string> arguments)
{
    MonitorRun run;
    run.arguments = {"--opentrack", hub};
    run.arguments.insert(run.arguments.end(), arguments.begin(), arguments.end());
    const MonitorResult result = RunMonitor(run);
    EXPECT_TRUE(WIFEXITED(result.waitStatus) && WEXITSTATUS(result.waitStatus) == 0)
        << result.waitStatus;
    return result;
}

double _DoubleAt(const Bytes& datagram, size_t index)
{
    const uint64_t bits = Talmex::Protocol::DecodeFixed32(&datagram[8 * index]) |
                          uint64_t(Talmex::Protocol::DecodeFixed32(&datagram[8 * index + 4])) << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

class BridgeTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!TalmexTest::EnterPrivateNetwork()) {
            GTEST_SKIP() << "needs a private network namespace (root)";
        }
    }
};

// Our yaw and roll turn left, the hub's right; pitch looks up on both.
TEST_F(BridgeTest, HubGetsOnePoseForEachReportWithItsAngles)
{
    TalmexTest::UdpClient hub;
    const std::vector<std::string> lines =
        Lines(_RunWithHub("127.0.0.1:" + std::to_string(hub.Port()),
                          {"--json", "--count", std::to_string(kReports)})
                  .output);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kReports));
    for (const std::string& line : lines) {
        const std::optional<Bytes> datagram = hub.Receive(0);
        ASSERT_TRUE(datagram) << "one datagram for each report";
        ASSERT_EQ(datagram->size(), 48u);
        const std::optional<std::vector<float>> q = OrientationOf(line);
        ASSERT_TRUE(q) << line;
        const float orientation[4] = {(*q)[0], (*q)[1], (*q)[2], (*q)[3]};
        const Talmex::Client::YawPitchRoll angles = Talmex::Client::YawPitchRollOf(orientation);
        const double expected[6] = {0, 0, 0, -angles.yaw, angles.pitch, -angles.roll};
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_NEAR(_DoubleAt(*datagram, i), expected[i], 1e-9)
                << "value " << i << " of " << line;
        }
    }
    EXPECT_FALSE(hub.Receive(0));
}

struct HubCase {
    const char* name;
    const char* hub;
};

void PrintTo(const HubCase& hub, std::ostream* out)
{
    *out << hub.name;
}

class UnreachableHubTest : public BridgeTest, public testing::WithParamInterface<HubCase> {};

TEST_P(UnreachableHubTest, KeepsTheMonitorGoingAndCountsFailedSends)
{
    const std::vector<std::string> lines =
        Lines(_RunWithHub(GetParam().hub, {"--count", "5"}).output);
    ASSERT_EQ(lines.size(), 5u);
    const std::string& last = lines.back();
    unsigned long sequence = 0, lost = 0, sent = 0, failed = 0;
    ASSERT_EQ(
        std::sscanf(last.c_str(), "sequence %lu session %*s rate %*s lost %lu", &sequence, &lost),
        2)
        << last;
    const size_t at = last.find("opentrack sent ");
    ASSERT_NE(at, std::string::npos) << last;
    ASSERT_EQ(std::sscanf(last.c_str() + at, "opentrack sent %lu failed %lu", &sent, &failed), 2);
    EXPECT_GT(failed, 0u);
    EXPECT_EQ(sent + failed, sequence - lost) << "one send for each report received: " << last;
}

// In the private network only loopback is up, and nothing listens on it.
INSTANTIATE_TEST_SUITE_P(Hubs, UnreachableHubTest,
                         testing::Values(HubCase{"ClosedPort", "127.0.0.1:9"},
                                         HubCase{"NetworkOutOfReach", "192.0.2.1"}),
                         [](const testing::TestParamInfo<HubCase>& info) {
                             return info.param.name;
                         });

} // namespace
