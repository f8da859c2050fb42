// The agent started in the OpenHMD headset's folder, as a host starts it to
// serve that headset: what its reports carry, and that it prints nothing.

#include "OpenHmdPluginTest.h"
#include "Plugin/Describe.h"
#include "Support/AgentProcess.h"
#include "Support/KeptClient.h"
#include "Support/MotionRecording.h"
#include "Support/PrivateNetwork.h"

#include "Protocol/Report.h"
#include "TestPaths.h"

#include <cmath>
#include <dlfcn.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace TalmexTest;
using namespace Talmex::Protocol;

class OpenHmdAgentTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!EnterPrivateNetwork()) {
            GTEST_SKIP() << "needs a private network namespace (root)";
        }
    }

    void TearDown() override { unlink(_outputPath.c_str()); }

    // The last of the reports a client gets in a moment from an agent with
    // the given TALMEX_OPENHMD_DEVICE (null: not set); the agent's output
    // after it stopped.
    void Serve(const char* device)
    {
        AgentProcess::Options options;
        options.workingDirectory = TALMEX_OPENHMD_FOLDER;
        options.outputPath = _outputPath;
        if (device != nullptr) {
            options.environment.emplace_back("TALMEX_OPENHMD_DEVICE", device);
        } else {
            unsetenv("TALMEX_OPENHMD_DEVICE");
        }
        {
            AgentProcess agent(options);
            KeptClient client(7);
            ASSERT_TRUE(client.Connect());
            int reports = client.ReceiveFor(300, [&](const Bytes& bytes) {
                ASSERT_EQ(DecodeReport(bytes.data(), bytes.size(), _report), ReportCheck::kValid);
            });
            ASSERT_GT(reports, 10);
            agent.CloseInput();
            ASSERT_EQ(agent.WaitForExit(5000), 0);
        }
        std::ostringstream output;
        output << std::ifstream(_outputPath).rdbuf();
        _output = output.str();
    }

    std::string _outputPath =
        testing::TempDir() + "talmex-agent-output-" + std::to_string(getpid());
    Report _report;
    std::string _output;
};

TEST_F(OpenHmdAgentTest, ServesTheNullDevicesValuesExactly)
{
    ASSERT_NO_FATAL_FAILURE(Serve("null"));
    const DisplayState& d = _report.display;
    EXPECT_EQ(DisplayFlagsOf(d), kOpenHmdDisplayFlags);
    EXPECT_EQ(d.resolution[0], 1280);
    EXPECT_EQ(d.resolution[1], 800);
    EXPECT_EQ(d.screenSize[0], 0.14976f);
    EXPECT_EQ(d.screenSize[1], 0.0936f);
    EXPECT_EQ(d.interpupillaryDistance, 0.061f);
    EXPECT_EQ(d.lensSeparationDistance, 0.0635f);
    EXPECT_EQ(d.eyeOffset[0], -0.0305f);
    EXPECT_EQ(d.eyeOffset[1], 0.0305f);
    EXPECT_EQ(d.screenVCenter, 0.0468f);
    // The half screen's width beside the lens, over the tangent of half
    // OpenHMD's field of view of 125.5144 degrees.
    EXPECT_NEAR(d.eyeToScreenDistance, (0.14976 - 0.0635) / 2 / std::tan(125.5144 / 2 * kDegree),
                1e-6);
    const float none[4] = {1, 0, 0, 0};
    EXPECT_TRUE(std::equal(none, none + 4, d.distortionCoefficients));
    EXPECT_EQ(_report.sensorCount, 1);
    const SensorState& head = _report.sensors[0];
    EXPECT_EQ(SensorFlagsOf(head), SensorFlag::kPresent | SensorFlag::kOrientationValid |
                                       SensorFlag::kPredictedOrientationValid |
                                       SensorFlag::kPredictionTimeValid |
                                       SensorFlag::kAngularVelocityOrMagnetometerValid);
    const float level[4] = {1, 0, 0, 0};
    EXPECT_TRUE(std::equal(level, level + 4, head.orientation));
    EXPECT_EQ(head.predictionTime, 0.03f);
    EXPECT_EQ(SensorFlagsOf(_report.sensors[1]), 0u);
    EXPECT_EQ(_output, "");
}

TEST_F(OpenHmdAgentTest, WithoutAHeadsetReportsNoneAndSaysNothing)
{
    // Only where no real headset is attached.
    void* plugin = dlopen(TALMEX_OPENHMD_HEADSET, RTLD_LOCAL | RTLD_NOW);
    ASSERT_NE(plugin, nullptr);
    const auto describe = reinterpret_cast<decltype(&TalmexPlugin_Describe)>(
        dlsym(plugin, Talmex::Plugin::kDescribeName));
    ASSERT_NE(describe, nullptr);
    const std::string description = describe();
    dlclose(plugin);
    if (description.find("would open: nothing") == std::string::npos) {
        GTEST_SKIP() << "a headset is attached:\n" << description;
    }

    ASSERT_NO_FATAL_FAILURE(Serve(nullptr));
    EXPECT_EQ(DisplayFlagsOf(_report.display), 0u);
    EXPECT_EQ(_report.sensorCount, 0);
    for (const SensorState& sensor : _report.sensors) {
        EXPECT_EQ(SensorFlagsOf(sensor), 0u);
    }
    EXPECT_EQ(_output, "");
}

} // namespace
