// The OpenHMD headset on OpenHMD's own driver of the Rift DK1, the headset
// emulated at the HID boundary (Tests/Support/EmulatedRift): preloaded into
// this program and so into the agent and the monitor it starts, it is what
// OpenHMD finds, decodes and fuses, end to end through the agent.

#include "Client/Client.h"
#include "DistortionFit.h"
#include "EmulatedRift.h"
#include "EmulatedRiftMotions.h"
#include "EmulatedRiftSettings.h"
#include "EmulatedRiftTimeline.h"
#include "Monitor/MonitorProcess.h"
#include "Monitor/TerminalSession.h"
#include "OpenHmdRift.h"
#include "Plugins/OpenHmdHeadset/OpenHmdPluginTest.h"
#include "RiftReports.h"
#include "Support/PrivateNetwork.h"
#include "TestPaths.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace TalmexTest;
using namespace std::chrono_literals;
using Talmex::Client::Client;
using Talmex::Client::HeadsetState;
using Talmex::Protocol::DisplayFlagsOf;

// OpenHMD's driver alone follows the emulated motion within 0.005 degrees
// (EmulatedRiftTest; 0.001 measured), and the agent hands its orientation on
// as it is: twice that is the bound.
constexpr double kLargestError = 0.01 * kRadiansPerDegree;
// A report carries the samples due when the agent updated the plug-in just
// before sending it: at most a sample period old, and older only by what the
// machine delays the agent between update and send. The window allows for
// a slow machine (a sanitizer's, a loaded one); half the reports must be no
// older than two periods.
constexpr double kWindow = 0.25;
constexpr double kMedianAge = 0.002;

// The emulated headset preloaded into this program and every process it
// starts, the agent started in the OpenHMD headset's folder, and no device
// named: the plug-in chooses by itself.
class EmulatedRiftAgentTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(FindEmulatedRiftSensorTime(), nullptr)
            << "run with LD_PRELOAD naming libtalmex_emulated_rift.so";
        if (!EnterPrivateNetwork()) {
            GTEST_SKIP() << "needs a private network namespace (root)";
        }
        unsetenv("TALMEX_OPENHMD_DEVICE");
        setenv("TALMEX_EMULATED_RIFT_OPEN_LOG", _openLog.c_str(), 1);
    }

    void TearDown() override
    {
        _client.Stop();
        for (const char* name :
             {"TALMEX_EMULATED_RIFT_YAW_RATE", "TALMEX_EMULATED_RIFT_PITCH_AMPLITUDE",
              "TALMEX_EMULATED_RIFT_PITCH_PERIOD", "TALMEX_EMULATED_RIFT_UNPLUG_AT",
              "TALMEX_EMULATED_RIFT_REPLUG_AT", "TALMEX_EMULATED_RIFT_OPEN_LOG"}) {
            unsetenv(name);
        }
        unlink(_openLog.c_str());
    }

    // Starts the agent with the emulation's controls (NAME=value) and waits
    // until it serves the headset.
    void Serve(std::initializer_list<std::pair<const char*, const char*>> controls)
    {
        std::string refusals;
        for (const auto& [name, value] : controls) {
            setenv(name, value, 1);
        }
        _motion = ReadEmulatedRiftSettings(std::getenv, &refusals).motion;
        ASSERT_EQ(refusals, "");
        _client.SetReportObserver([this](const HeadsetState& report, const unsigned char*, size_t,
                                         Client::Clock::time_point received) {
            if (_isObserving) {
                _observed.push_back({received, report});
            }
        });
        ASSERT_TRUE(_client.Spawn(TALMEX_AGENT_PATH, "openhmd")) << _client.LastError();
        ASSERT_TRUE(PollUntil([](const HeadsetState& s) { return s.display.hmdPresent; }, 3s));
    }

    // Polls until the newest report satisfies isWanted, at most the time.
    bool PollUntil(const std::function<bool(const HeadsetState&)>& isWanted,
                   std::chrono::milliseconds timeout)
    {
        const Client::Clock::time_point deadline = Client::Clock::now() + timeout;
        while (Client::Clock::now() < deadline) {
            if (_client.Wait(_state, 20ms) && isWanted(_state)) {
                return true;
            }
        }
        return false;
    }

    // The reports that arrive in the time, with their arrival.
    struct Observed {
        Client::Clock::time_point received;
        HeadsetState report;
    };
    std::vector<Observed> Observe(std::chrono::milliseconds time)
    {
        _observed.clear();
        _isObserving = true;
        PollUntil([](const HeadsetState&) { return false; }, time);
        _isObserving = false;
        return std::move(_observed);
    }

    // Each report's orientation against the truth since the newest open.
    struct Following {
        double largestError; // degrees
        double medianAge;    // seconds
        double largestAge;
    };
    Following Follow(std::chrono::milliseconds time)
    {
        const std::vector<Observed> reports = Observe(time);
        const auto opened = NewestEmulatedRiftOpen(_openLog);
        EXPECT_TRUE(opened.has_value());
        EXPECT_GT(reports.size(), 100u);
        double largest = 0;
        std::vector<double> ages;
        for (const Observed& o : reports) {
            const float(&q)[4] = o.report.sensors[0].orientation;
            EXPECT_TRUE(o.report.sensors[0].orientationValid);
            const double arrival =
                std::chrono::duration<double>(o.received - opened.value_or(o.received)).count();
            const OrientationMatch match =
                MatchOrientation(_motion, {q[0], q[1], q[2], q[3]}, arrival, kWindow);
            largest = std::max(largest, match.error);
            ages.push_back(match.age);
        }
        if (ages.empty()) {
            return {INFINITY, INFINITY, INFINITY};
        }
        std::sort(ages.begin(), ages.end());
        return {largest / kRadiansPerDegree, ages[ages.size() / 2], ages.back()};
    }

    std::string _openLog =
        testing::TempDir() + "talmex-emulated-rift-opens-" + std::to_string(getpid());
    EmulatedRiftMotion _motion;
    Client _client;
    HeadsetState _state;
    bool _isObserving = false;
    std::vector<Observed> _observed;
};

// OpenHMD's universal distortion for the emulated headset, read in this
// process.
std::array<float, 4> _UniversalDistortion()
{
    std::array<float, 4> universal{};
    ohmd_context* context = ohmd_ctx_create();
    ohmd_device* device = OpenEmulatedRift(context);
    EXPECT_NE(device, nullptr);
    if (device != nullptr) {
        ohmd_device_getf(device, OHMD_UNIVERSAL_DISTORTION_K, universal.data());
    }
    ohmd_ctx_destroy(context);
    return universal;
}

TEST_F(EmulatedRiftAgentTest, ServesTheDk1ByDefaultWithTheDisplayItsDriverDecodes)
{
    ASSERT_NO_FATAL_FAILURE(Serve({}));
    // Past the first report, which alone says that the headset opened.
    ASSERT_TRUE(_client.Wait(_state, 1s));
    const Talmex::Protocol::DisplayState& d = _state.display;
    const Rift::DisplayInfo& rift = Rift::kDisplay;
    EXPECT_EQ(DisplayFlagsOf(d), kOpenHmdDisplayFlags);
    EXPECT_EQ(d.resolution[0], rift.horizontalResolution);
    EXPECT_EQ(d.resolution[1], rift.verticalResolution);
    EXPECT_FLOAT_EQ(d.screenSize[0], rift.horizontalSize);
    EXPECT_FLOAT_EQ(d.screenSize[1], rift.verticalSize);
    EXPECT_FLOAT_EQ(d.lensSeparationDistance, rift.lensSeparation);
    EXPECT_FLOAT_EQ(d.screenVCenter, rift.verticalCenter);
    // Back from the field of view that OpenHMD derives from it.
    EXPECT_NEAR(d.eyeToScreenDistance, rift.eyeToScreenDistance[0], 1e-6);
    // The DK1 stores no interpupillary distance: OpenHMD's default.
    EXPECT_FLOAT_EQ(d.interpupillaryDistance, 0.061f);
    EXPECT_FLOAT_EQ(d.eyeOffset[0], -0.0305f);
    EXPECT_FLOAT_EQ(d.eyeOffset[1], 0.0305f);
    // OpenHMD 0.3.0 mangles the DK1's own coefficients: the fit instead.
    const std::array<float, 4> fit = OpenHmdHeadset::FitDistortion(_UniversalDistortion());
    EXPECT_TRUE(std::equal(fit.begin(), fit.end(), d.distortionCoefficients))
        << d.distortionCoefficients[0] << " " << d.distortionCoefficients[1] << " "
        << d.distortionCoefficients[2] << " " << d.distortionCoefficients[3];
}

class EmulatedRiftMotionTest : public EmulatedRiftAgentTest,
                               public testing::WithParamInterface<MotionControls> {};

TEST_P(EmulatedRiftMotionTest, OrientationFollowsTheMotion)
{
    GetParam().Set();
    ASSERT_NO_FATAL_FAILURE(Serve({}));
    const Following following = Follow(2s);
    EXPECT_LT(following.largestError, kLargestError / kRadiansPerDegree)
        << "the oldest report " << following.largestAge << " s";
    EXPECT_LT(following.medianAge, kMedianAge);
}

INSTANTIATE_TEST_SUITE_P(Motions, EmulatedRiftMotionTest, testing::ValuesIn(kTestMotions),
                         [](const testing::TestParamInfo<MotionControls>& info) {
                             return info.param.name;
                         });

bool _IsAbsent(const HeadsetState& report)
{
    return DisplayFlagsOf(report.display) == 0 && report.sensorCount == 0;
}

TEST_F(EmulatedRiftAgentTest, UnpluggedHeadsetGoesQuietlyAndComesBackAtTheNextLock)
{
    // Seconds after the open: between two of the plug-in's looks at the HID
    // list, a fifth of a second apart; and when the headset is back.
    const char* const kUnplugAt = "0.7";
    const char* const kReplugAt = "2";
    ASSERT_NO_FATAL_FAILURE(Serve({{"TALMEX_EMULATED_RIFT_UNPLUG_AT", kUnplugAt},
                                   {"TALMEX_EMULATED_RIFT_REPLUG_AT", kReplugAt}}));
    const auto opened = NewestEmulatedRiftOpen(_openLog);
    ASSERT_TRUE(opened);
    const auto after = [&](const char* seconds, double margin) {
        return *opened + std::chrono::duration_cast<Client::Clock::duration>(
                             std::chrono::duration<double>(std::stod(seconds) + margin));
    };
    const Client::Clock::time_point unplugged = after(kUnplugAt, 0);

    ASSERT_TRUE(PollUntil(_IsAbsent, 3s));
    const Client::Clock::time_point absent = Client::Clock::now();
    EXPECT_LT(absent - unplugged, 1s);
    for (const Observed& o : Observe(1s)) {
        EXPECT_TRUE(_IsAbsent(o.report));
    }

    // Away long enough for the agent to let the headset go, and until the
    // headset is back on the bus; then a new lock opens it anew.
    std::this_thread::sleep_until(std::max(Client::Clock::now() + 1200ms, after(kReplugAt, 0.1)));
    ASSERT_TRUE(PollUntil([](const HeadsetState& s) { return s.display.hmdPresent; }, 3s));
    EXPECT_GT(NewestEmulatedRiftOpen(_openLog), opened);
    EXPECT_LT(Follow(500ms).largestError, kLargestError / kRadiansPerDegree);

    // OpenHMD's driver printed a line each update from the unplug until the
    // plug-in closed the device, at most one a service cycle of 2 ms, and
    // none after. The C library holds them back until the agent ends.
    _client.Stop();
    const uint64_t printed = _client.Agent().Output().LineCount();
    EXPECT_GT(printed, 0u);
    EXPECT_LE(printed, static_cast<uint64_t>((absent - unplugged) / 2ms) + 1);
}

TEST_F(EmulatedRiftAgentTest, HeadsetAtRestIsNeverTakenForUnplugged)
{
    ASSERT_NO_FATAL_FAILURE(Serve({{"TALMEX_EMULATED_RIFT_YAW_RATE", "0"}}));
    const std::vector<Observed> reports = Observe(3s);
    EXPECT_GT(reports.size(), 500u);
    for (const Observed& o : reports) {
        const float(&q)[4] = o.report.sensors[0].orientation;
        ASSERT_TRUE(o.report.display.hmdPresent && o.report.sensors[0].orientationValid);
        EXPECT_LT(AngleBetween({q[0], q[1], q[2], q[3]}, Quaternion::Identity()), kLargestError);
    }
    _client.Stop();
    EXPECT_EQ(_client.Agent().Output().LineCount(), 0u);
}

// The monitor loads the plug-in itself for --check, the emulation with it.
TEST(EmulatedRiftMonitorTest, CheckListsTheDk1AndWouldOpenIt)
{
    MonitorTest::MonitorRun run;
    run.arguments = {"--check", "--agent", TALMEX_AGENT_PATH, "--headset", "openhmd"};
    const MonitorTest::MonitorResult result = MonitorTest::RunMonitor(run);
    EXPECT_TRUE(WIFEXITED(result.waitStatus) && WEXITSTATUS(result.waitStatus) == 0)
        << result.output;
    EXPECT_NE(
        result.output.find("product Rift (DK1), path " + std::string(kEmulatedRiftPath) + ","),
        std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("would open: 0, Rift (DK1)"), std::string::npos) << result.output;
}

// What OpenHMD prints after the unplug never reaches the terminal while the
// monitor's view is on it, but in the status line's count and last line, and
// is told after, prefixed as the monitor's own.
TEST(EmulatedRiftMonitorTest, OpenHmdsLinesStayOffTheScreen)
{
    if (!EnterPrivateNetwork()) {
        GTEST_SKIP() << "needs a private network namespace (root)";
    }
    // The emulation in the monitor only, not in the shells and terminal
    // around it, which may be built without the sanitizer it was built with.
    ASSERT_NE(std::getenv("LD_PRELOAD"), nullptr);
    // Set again when the test ends, however it ends.
    const struct Preload {
        std::string value;
        ~Preload() { setenv("LD_PRELOAD", value.c_str(), 1); }
    } preload{std::getenv("LD_PRELOAD")};
    unsetenv("LD_PRELOAD");
    const std::string monitor = "env LD_PRELOAD=" + MonitorTest::Quoted(preload.value) +
                                " TALMEX_EMULATED_RIFT_UNPLUG_AT=0.7 " +
                                MonitorTest::Quoted(TALMEX_MONITOR_PATH) + " --headset openhmd";
    MonitorTest::TerminalSession session("sh -c " + MonitorTest::Quoted(monitor + "; sleep 60"),
                                         120, 40);
    ASSERT_TRUE(session.IsStarted());
    const auto hasText = [](const char* text) {
        return [text](const std::string& screen) { return screen.find(text) != std::string::npos; };
    };
    const std::string unplugged = session.WaitForScreen(hasText("no headset present"), 15s);
    ASSERT_TRUE(hasText("no headset present")(unplugged)) << unplugged;
    std::this_thread::sleep_for(300ms);
    const std::string screen = session.Capture();
    std::istringstream shown(screen);
    for (std::string line; std::getline(shown, line);) {
        const size_t at = line.find("[EE]");
        EXPECT_TRUE(at == std::string::npos || line.rfind("last: [EE]") + 6 == at) << screen;
    }

    session.SendKeys("q");
    const std::string after = session.WaitForScreen(hasText("the agent printed"), 10s);
    std::istringstream lines(after);
    int told = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("[EE]") != std::string::npos) {
            EXPECT_EQ(line.rfind("talmex-monitor:   [EE] ", 0), 0u) << after;
            ++told;
        }
    }
    EXPECT_GT(told, 0) << after;
}

class EmulatedRiftLockCycleTest : public OpenHmdPluginTest {};

TEST_F(EmulatedRiftLockCycleTest, AHundredLocksOfTheDk1LeaveNothingBehind)
{
    ASSERT_NE(FindEmulatedRiftSensorTime(), nullptr);
    ASSERT_NO_FATAL_FAILURE(Load(nullptr, {0, 0, 30 * kDegree}, 0.1));
    ASSERT_TRUE(_plugin->Initialize());
    EXPECT_STREQ(_plugin->GetDisplayDeviceName(), "Rift (DK1)");
    _plugin->Destroy();
    LockAHundredTimes(true);
}

} // namespace
