#include "MonitorProcess.h"
#include "Protocol/Recording.h"
#include "Protocol/Report.h"
#include "TerminalSession.h"
#include "TestPaths.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

namespace {

using namespace MonitorTest;
using std::chrono::milliseconds;

constexpr int kColumns = 120;
constexpr int kRows = 40;
constexpr milliseconds kStartTime{15000};

// The largest of sensor 0's yaw, pitch and roll on the screen, in degrees.
std::optional<double> _LargestAngle(const std::string& screen)
{
    std::istringstream lines(screen);
    double largest = 0;
    int found = 0;
    for (std::string line; std::getline(lines, line) && found < 3;) {
        std::istringstream words(line);
        std::string name, unit;
        double degrees = 0;
        if (words >> name >> degrees >> unit && unit == "deg" &&
            (name == "yaw" || name == "pitch" || name == "roll")) {
            largest = std::max(largest, std::fabs(degrees));
            ++found;
        }
    }
    return found == 3 ? std::optional<double>(largest) : std::nullopt;
}

bool _IsServing(const std::string& screen)
{
    return screen.find("channel serving") != std::string::npos && _LargestAngle(screen);
}

// The agent's process id from the title line.
int _AgentPid(const std::string& screen)
{
    const size_t at = screen.find(" pid ");
    return at == std::string::npos ? 0 : std::atoi(screen.c_str() + at + 5);
}

// A recording of a head held still, turned 30 degrees to the left: replayed
// by the simulated headset, it keeps a reset's effect on the screen, where the
// simulated motion would sweep it away within a frame or two.
class StillHeadRecording {
public:
    StillHeadRecording()
        : _path(testing::TempDir() + "talmex-still-head-" + std::to_string(getpid()))
    {
        using namespace Talmex::Protocol;
        Report report;
        report.display.hmdPresent = true;
        report.sensorCount = 1;
        SensorState& sensor = report.sensors[0];
        sensor.present = sensor.orientationValid = true;
        const float turned[4] = {0.96592583f, 0, 0.25881905f, 0};
        std::copy(turned, turned + 4, sensor.orientation);
        BlockWriter writer;
        Stream stream;
        WriteReport(report, writer, stream);
        std::vector<unsigned char> bytes;
        AppendRecordingHeader(0, bytes);
        AppendRecord(0, stream.Data(), stream.Size(), bytes);
        std::ofstream(_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ~StillHeadRecording() { std::remove(_path.c_str()); }

    const std::string& Path() const { return _path; }

private:
    std::string _path;
};

TEST(TerminalTest, ResetRecentresTheSensorOnScreen)
{
    const StillHeadRecording stillHead;
    TerminalSession session("exec env TALMEX_REPLAY=" + Quoted(stillHead.Path()) + " " +
                                Quoted(TALMEX_MONITOR_PATH),
                            kColumns, kRows);
    ASSERT_TRUE(session.IsStarted());
    const std::string before = session.WaitForScreen(
        [](const std::string& screen) {
            return _IsServing(screen) && _LargestAngle(screen).value_or(0) > 29.0;
        },
        kStartTime);
    ASSERT_GT(_LargestAngle(before).value_or(0), 29.0) << before;

    session.SendKeys("r");
    const std::string after = session.WaitForScreen(
        [](const std::string& screen) { return _LargestAngle(screen).value_or(180) < 0.5; },
        milliseconds(5000));
    EXPECT_LT(_LargestAngle(after).value_or(180), 0.5) << "before:\n"
                                                       << before << "after:\n"
                                                       << after;
}

// Plain lines, in a terminal too small for the view.
bool _IsPrintingLines(const std::string& screen)
{
    return screen.find("sequence ") != std::string::npos;
}

struct QuitCase {
    const char* name;
    const char* key; // sent to the terminal, or null to send the signal instead
    int signal;
    int exitStatus;
    int columns = kColumns;
    int rows = kRows;
    bool (*isShowing)(const std::string& screen) = _IsServing;
};

const QuitCase kQuitCases[] = {
    {"KeyQ", "q", 0, 0},
    {"CtrlC", "C-c", 0, 0},
    {"Sigterm", nullptr, SIGTERM, 128 + SIGTERM},
    {"KeyQInSmallTerminal", "q", 0, 0, 60, 20, _IsPrintingLines},
};

void PrintTo(const QuitCase& quit, std::ostream* out)
{
    *out << quit.name;
}

class QuitTest : public testing::TestWithParam<QuitCase> {};

// The shell compares the terminal's modes before and after the monitor.
TEST_P(QuitTest, RestoresTheTerminalAndStopsTheAgent)
{
    const QuitCase& quit = GetParam();
    const std::string script =
        "before=$(stty -g); " + Quoted(TALMEX_MONITOR_PATH) +
        "; status=$?; if [ \"$(stty -g)\" = \"$before\" ]; then echo \"terminal restored, "
        "exit $status\"; else echo \"terminal changed, exit $status\"; fi; sleep 60";
    TerminalSession session("sh -c " + Quoted(script), quit.columns, quit.rows);
    ASSERT_TRUE(session.IsStarted());
    const std::string showing = session.WaitForScreen(quit.isShowing, kStartTime);
    ASSERT_TRUE(quit.isShowing(showing)) << showing;
    const int monitor = ChildOf(session.PanePid());
    const int agent = ChildOf(monitor);
    ASSERT_GT(agent, 0) << showing;

    if (quit.key != nullptr) {
        session.SendKeys(quit.key);
    } else {
        kill(monitor, quit.signal);
    }
    const std::string after = session.WaitForScreen(
        [](const std::string& screen) { return screen.find("terminal ") != std::string::npos; },
        milliseconds(10000));
    EXPECT_NE(after.find("terminal restored, exit " + std::to_string(quit.exitStatus)),
              std::string::npos)
        << after;
    EXPECT_EQ(after.find("talmex-monitor"), std::string::npos) << "the full-screen view is gone";
    EXPECT_FALSE(IsRunning(agent));
}

INSTANTIATE_TEST_SUITE_P(Ways, QuitTest, testing::ValuesIn(kQuitCases),
                         [](const testing::TestParamInfo<QuitCase>& info) {
                             return info.param.name;
                         });

TEST(TerminalTest, ClosedTerminalStopsMonitorAndAgent)
{
    TerminalSession session("exec " + Quoted(TALMEX_MONITOR_PATH), kColumns, kRows);
    ASSERT_TRUE(session.IsStarted());
    const std::string serving = session.WaitForScreen(_IsServing, kStartTime);
    ASSERT_TRUE(_IsServing(serving)) << serving;
    const int monitor = session.PanePid();
    const int agent = _AgentPid(serving);
    ASSERT_TRUE(IsRunning(monitor));
    ASSERT_TRUE(IsRunning(agent));

    session.Close();
    EXPECT_TRUE(WaitUntilStopped(monitor, milliseconds(5000)));
    EXPECT_TRUE(WaitUntilStopped(agent, milliseconds(5000)));
}

} // namespace
