#include "MonitorProcess.h"
#include "ReportLines.h"

#include "Client/HeadsetState.h"
#include "Support/PrivateNetwork.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <optional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace MonitorTest;
using Talmex::Client::YawPitchRollOf;

constexpr int kReports = 200;

// A hub's "UDP over network" input on a loopback port of its own.
class HubSocket {
public:
    HubSocket() : _socket(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0))
    {
        const int size = 1 << 20; // room for every datagram of the run
        setsockopt(_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(_socket, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            getsockname(_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            _port = ntohs(address.sin_port);
        }
    }
    ~HubSocket() { Close(); }

    void Close()
    {
        if (_socket != -1) {
            close(_socket);
            _socket = -1;
        }
    }

    std::string Target() const { return "127.0.0.1:" + std::to_string(_port); }

    // What has arrived, each datagram as the six doubles it holds; an empty
    // entry for a datagram that is not 48 bytes long.
    std::vector<std::vector<double>> Poses()
    {
        std::vector<std::vector<double>> poses;
        unsigned char datagram[64];
        for (ssize_t size; poses.size() < 10000 && (size = recv(_socket, datagram, sizeof datagram, 0)) >= 0;) {
            std::vector<double> pose;
            for (ssize_t at = 0; size == 48 && at < size; at += 8) {
                uint64_t bits = 0;
                for (int i = 7; i >= 0; --i) {
                    bits = bits << 8 | datagram[at + i];
                }
                double value;
                std::memcpy(&value, &bits, sizeof value);
                pose.push_back(value);
            }
            poses.push_back(pose);
        }
        return poses;
    }

private:
    int _socket;
    uint16_t _port = 0;
};

class BridgeTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!TalmexTest::EnterPrivateNetwork()) {
            GTEST_SKIP() << "needs a private network namespace (root)";
        }
        // Made only now, in the private network.
        _hub.emplace();
    }

    std::optional<HubSocket> _hub;
};

// Our yaw and roll turn left, the hub's right; pitch looks up on both.
TEST_F(BridgeTest, HubGetsOnePoseForEachReportWithItsAngles)
{
    MonitorRun run;
    run.arguments = {"--opentrack", _hub->Target(), "--json", "--count", std::to_string(kReports)};
    const MonitorResult result = RunMonitor(run);
    ASSERT_TRUE(WIFEXITED(result.waitStatus) && WEXITSTATUS(result.waitStatus) == 0) << result.waitStatus;

    const std::vector<std::string> lines = Lines(result.output);
    const std::vector<std::vector<double>> poses = _hub->Poses();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kReports));
    ASSERT_EQ(poses.size(), lines.size());
    for (size_t i = 0; i < poses.size(); ++i) {
        const std::optional<std::vector<float>> q = OrientationOf(lines[i]);
        ASSERT_TRUE(q) << lines[i];
        ASSERT_EQ(poses[i].size(), 6u) << "datagram " << i << " is 48 bytes";
        const float orientation[4] = {(*q)[0], (*q)[1], (*q)[2], (*q)[3]};
        const auto angles = YawPitchRollOf(orientation);
        EXPECT_EQ(poses[i][0], 0.0);
        EXPECT_EQ(poses[i][1], 0.0);
        EXPECT_EQ(poses[i][2], 0.0);
        EXPECT_NEAR(poses[i][3], -angles.yaw, 1e-9) << i;
        EXPECT_NEAR(poses[i][4], angles.pitch, 1e-9) << i;
        EXPECT_NEAR(poses[i][5], -angles.roll, 1e-9) << i;
    }
}

TEST_F(BridgeTest, UnreachableHubKeepsTheMonitorGoingAndCountsFailedSends)
{
    const std::string closed = _hub->Target();
    _hub->Close();
    MonitorRun run;
    run.arguments = {"--opentrack", closed, "--count", "5"};
    const MonitorResult result = RunMonitor(run);
    ASSERT_TRUE(WIFEXITED(result.waitStatus) && WEXITSTATUS(result.waitStatus) == 0) << result.waitStatus;

    const std::vector<std::string> lines = Lines(result.output);
    ASSERT_EQ(lines.size(), 5u) << result.output;
    const std::string& last = lines.back();
    const size_t at = last.find("opentrack sent ");
    ASSERT_NE(at, std::string::npos) << last;
    unsigned long sequence = 0, lost = 0, sent = 0, failed = 0;
    ASSERT_EQ(std::sscanf(last.c_str(), "sequence %lu session %*s rate %*s lost %lu", &sequence, &lost), 2)
        << last;
    ASSERT_EQ(std::sscanf(last.c_str() + at, "opentrack sent %lu failed %lu", &sent, &failed), 2);
    EXPECT_GT(failed, 0u);
    EXPECT_EQ(sent + failed, sequence - lost) << "one send for each report received: " << last;
}

} // namespace
