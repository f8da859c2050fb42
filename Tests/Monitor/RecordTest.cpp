#include "MonitorProcess.h"
#include "ReportLines.h"
#include "TerminalSession.h"

#include "Protocol/Recording.h"
#include "Protocol/Report.h"
#include "Support/AgentProcess.h"
#include "Support/PrivateNetwork.h"
#include "Support/ProtocolBytes.h"
#include "TestPaths.h"

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace MonitorTest;
using namespace Talmex::Protocol;
using std::chrono::milliseconds;

// About two seconds of reports.
constexpr int kReports = 940;
// How far the replay's timing may stray from the recording's: two service
// cycles and a little.
constexpr double kTimingSlack = 0.005;

struct Recorded {
    double seconds; // since the first record
    Report report;
};

// Every report of a recording; a recording that is not whole fails the test,
// unless its last record may be torn.
std::vector<Recorded> _ReadRecording(const std::string& path, bool mayBeTorn = false)
{
    std::vector<unsigned char> bytes;
    std::string error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
    RecordingReader reader;
    EXPECT_TRUE(reader.Open(bytes.data(), bytes.size())) << reader.Error();
    std::vector<Recorded> reports;
    RecordedDatagram record;
    while (reports.size() < 100000 && reader.Next(record)) {
        Recorded recorded{static_cast<double>(record.receiveMicroseconds) * 1e-6, {}};
        EXPECT_EQ(DecodeReport(record.data, record.size, recorded.report), ReportCheck::kValid);
        reports.push_back(recorded);
    }
    EXPECT_EQ(reader.Error(), "");
    EXPECT_TRUE(mayBeTorn || !reader.IsTruncated());
    const double first = reports.empty() ? 0 : reports.front().seconds;
    for (Recorded& recorded : reports) {
        recorded.seconds -= first;
    }
    return reports;
}

std::vector<unsigned long> _Sequences(const std::vector<Recorded>& reports)
{
    std::vector<unsigned long> sequences;
    for (const Recorded& recorded : reports) {
        sequences.push_back(recorded.report.header.sequence);
    }
    return sequences;
}

std::vector<unsigned long> _PrintedSequences(const std::string& output)
{
    std::vector<unsigned long> sequences;
    for (const std::string& line : Lines(output)) {
        sequences.push_back(SequenceOf(line));
    }
    return sequences;
}

// The number that follows the text on the screen, or 0.
unsigned long _CountAfter(const std::string& screen, const std::string& text)
{
    const size_t at = screen.find(text);
    return at == std::string::npos ? 0
                                   : std::strtoul(screen.c_str() + at + text.size(), nullptr, 10);
}

// True when the recorded report j is in force, as the replay serves it, at
// some moment from from to to, taken round the loop.
bool _IsInForce(const std::vector<Recorded>& recorded, size_t j, double loop, double from,
                double to)
{
    const double begin = recorded[j].seconds;
    const double end = j + 1 < recorded.size() ? recorded[j + 1].seconds : loop;
    for (const double turn : {-loop, 0.0, loop}) {
        if (begin + turn <= to && from < end + turn) {
            return true;
        }
    }
    return false;
}

bool _SameOrientation(const Report& a, const Report& b)
{
    for (int i = 0; i < 4; ++i) {
        if (a.sensors[0].orientation[i] != b.sensors[0].orientation[i]) {
            return false;
        }
    }
    return true;
}

// Runs the monitor, recording, until it ends by itself.
MonitorResult _Record(std::vector<std::string> arguments, std::vector<std::string> environment = {})
{
    MonitorRun run;
    run.arguments = std::move(arguments);
    run.environment = std::move(environment);
    const MonitorResult result = RunMonitor(run);
    EXPECT_TRUE(WIFEXITED(result.waitStatus) && WEXITSTATUS(result.waitStatus) == 0)
        << result.waitStatus;
    return result;
}

class RecordTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!TalmexTest::EnterPrivateNetwork()) {
            GTEST_SKIP() << "needs a private network namespace (root)";
        }
        ASSERT_FALSE(_folder.Path().empty());
    }

    TemporaryFolder _folder;
};

// Record the simulated headset, replay the recording through the agent,
// record the replay: each replayed report shows the orientation of the
// recorded report in force at the same time into the loop.
TEST_F(RecordTest, ReplayShowsTheRecordedMotionSampleForSample)
{
    // Plain lines, ten a second, while every report is recorded.
    const std::string original = _folder.Path() + "/original.tlxr";
    _Record({"--record", original, "--count", "20"});
    const std::vector<Recorded> recorded = _ReadRecording(original);
    ASSERT_GT(recorded.size(), static_cast<size_t>(kReports / 2));

    // One JSON line for each report recorded.
    const std::string replayed = _folder.Path() + "/replayed.tlxr";
    const MonitorResult second =
        _Record({"--record", replayed, "--json", "--count", std::to_string(kReports)},
                {"TALMEX_REPLAY=" + original});
    const std::vector<Recorded> replay = _ReadRecording(replayed);
    ASSERT_EQ(replay.size(), static_cast<size_t>(kReports));
    EXPECT_EQ(_Sequences(replay), _PrintedSequences(second.output))
        << "each printed report recorded";

    // Each report at its own time: the agent sleeps 2 ms between reports,
    // however the monitor takes them off the socket.
    for (const std::vector<Recorded>* reports : {&recorded, &replay}) {
        for (size_t i = 1; i < reports->size(); ++i) {
            ASSERT_GT((*reports)[i].seconds - (*reports)[i - 1].seconds, 0.001) << "report " << i;
        }
    }

    // The headset moves: a wrong time would show another orientation.
    std::set<std::vector<float>> distinct;
    for (const Recorded& r : recorded) {
        const float(&q)[4] = r.report.sensors[0].orientation;
        distinct.insert({q[0], q[1], q[2], q[3]});
    }
    EXPECT_GT(distinct.size(), recorded.size() / 2);

    // The loop lasts the recording's span and one mean interval; the replay
    // starts with the headset, as its first report goes out.
    const double span = recorded.back().seconds;
    const double loop = span + span / static_cast<double>(recorded.size() - 1);
    int mismatches = 0;
    for (const Recorded& shown : replay) {
        const double inLoop = std::fmod(shown.seconds, loop);
        bool isMatched = false;
        for (size_t j = 0; j < recorded.size(); ++j) {
            isMatched |=
                _SameOrientation(recorded[j].report, shown.report) &&
                _IsInForce(recorded, j, loop, inLoop - kTimingSlack, inLoop + kTimingSlack);
        }
        if (!isMatched && ++mismatches <= 5) {
            ADD_FAILURE() << "replayed report " << shown.report.header.sequence << " at "
                          << shown.seconds << " s matches no recorded report in force near "
                          << inLoop << " s";
        }
    }
    EXPECT_EQ(mismatches, 0);
}

class StopTest : public RecordTest, public testing::WithParamInterface<int> {};

// However the monitor is stopped, what it received is in the file, whole.
TEST_P(StopTest, LeavesEveryReceivedReportOnDisk)
{
    const std::string path = _folder.Path() + "/stopped.tlxr";
    MonitorRun run;
    run.arguments = {"--record", path, "--json"};
    run.stopOnOutput = "\"sequence\":200,";
    run.stopSignal = GetParam();
    const MonitorResult result = RunMonitor(run);
    ASSERT_TRUE(WIFSIGNALED(result.waitStatus)) << result.waitStatus;
    EXPECT_EQ(WTERMSIG(result.waitStatus), GetParam());

    const std::vector<unsigned long> printed = _PrintedSequences(result.output);
    const std::vector<unsigned long> recorded = _Sequences(_ReadRecording(path));
    ASSERT_GE(printed.size(), 200u);
    ASSERT_GE(recorded.size(), printed.size());
    EXPECT_EQ(std::vector<unsigned long>(recorded.begin(), recorded.begin() + printed.size()),
              printed);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopTest, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

TEST_F(RecordTest, LiveViewRecordsUntilQ)
{
    const std::string path = _folder.Path() + "/live.tlxr";
    const std::string script =
        Quoted(TALMEX_MONITOR_PATH) + " --record " + Quoted(path) + "; echo \"exit $?\"; sleep 60";
    TerminalSession session("sh -c " + Quoted(script), 120, 40);
    ASSERT_TRUE(session.IsStarted());
    const auto isRecording = [](const std::string& screen) {
        return screen.find("channel serving") != std::string::npos &&
               _CountAfter(screen, "recorded ") >= 100;
    };
    const std::string recording = session.WaitForScreen(isRecording, milliseconds(15000));
    ASSERT_TRUE(isRecording(recording)) << recording;

    session.SendKeys("q");
    const std::string after = session.WaitForScreen(
        [](const std::string& screen) { return screen.find("exit ") != std::string::npos; },
        milliseconds(10000));
    EXPECT_NE(after.find("exit 0"), std::string::npos) << after;
    const unsigned long reports = _CountAfter(after, "talmex-monitor: recorded ");
    EXPECT_GE(reports, 100u) << after;
    EXPECT_EQ(_ReadRecording(path).size(), reports);
}

// A FIFO with a reader that takes nothing, as a stalled pipe's reader would:
// the recorder fills it and then waits.
class FifoReader {
public:
    explicit FifoReader(const std::string& path) : _path(path)
    {
        if (mkfifo(path.c_str(), 0600) == 0) {
            _reader = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        }
    }
    ~FifoReader() { Close(); }

    bool IsOpen() const { return _reader != -1; }
    const std::string& Path() const { return _path; }
    void Close()
    {
        if (_reader != -1) {
            close(_reader);
            _reader = -1;
        }
    }

private:
    std::string _path;
    int _reader = -1;
};

struct StallCase {
    const char* name;
    std::vector<int> signals; // sent one after another
};

const StallCase kStallCases[] = {
    {"Sigterm", {SIGTERM}},
    // A second signal ends the monitor at once, without waiting for the reader.
    {"SecondSignal", {SIGTERM, SIGINT}},
};

void PrintTo(const StallCase& stall, std::ostream* out)
{
    *out << stall.name;
}

class StalledReaderTest : public RecordTest, public testing::WithParamInterface<StallCase> {};

TEST_P(StalledReaderTest, HoldsNeitherMonitorNorAgent)
{
    const FifoReader reader(_folder.Path() + "/stalled");
    ASSERT_TRUE(reader.IsOpen());
    MonitorRun run;
    run.arguments = {"--record", reader.Path(), "--json"};
    run.withErrors = true;
    // Past what a pipe holds.
    run.stopOnOutput = "\"sequence\":600,";
    int agent = 0;
    run.onOutput = [&agent](pid_t monitor) {
        agent = ChildOf(monitor);
        for (int signal : GetParam().signals) {
            kill(monitor, signal);
            std::this_thread::sleep_for(milliseconds(200));
        }
    };
    const MonitorResult result = RunMonitor(run);

    ASSERT_TRUE(WIFSIGNALED(result.waitStatus)) << result.waitStatus;
    EXPECT_EQ(WTERMSIG(result.waitStatus), GetParam().signals.back());
    const bool isForced = GetParam().signals.size() > 1;
    EXPECT_EQ(result.output.find("; recording incomplete: ") != std::string::npos, !isForced)
        << result.output.substr(result.output.rfind('}') + 1);
    ASSERT_GT(agent, 0);
    EXPECT_TRUE(WaitUntilStopped(agent, milliseconds(5000)));
}

INSTANTIATE_TEST_SUITE_P(Ways, StalledReaderTest, testing::ValuesIn(kStallCases),
                         [](const testing::TestParamInfo<StallCase>& info) {
                             return info.param.name;
                         });

// Attached, the client library sets nothing for the monitor: it must itself
// keep a closed reader from killing it.
TEST_F(RecordTest, ClosedReaderEndsTheRecordingWithAMessage)
{
    TalmexTest::AgentProcess agent;
    FifoReader reader(_folder.Path() + "/closed");
    ASSERT_TRUE(reader.IsOpen());
    MonitorRun run;
    run.arguments = {"--attach", "127.0.0.1:" + std::to_string(TalmexTest::kFirstPort),
                     "--record", reader.Path(),
                     "--count",  "10"};
    run.withErrors = true;
    run.stopOnOutput = "sequence ";
    run.onOutput = [&reader](pid_t) { reader.Close(); };
    const MonitorResult result = RunMonitor(run);

    ASSERT_TRUE(WIFEXITED(result.waitStatus)) << result.waitStatus;
    EXPECT_EQ(WEXITSTATUS(result.waitStatus), 1);
    EXPECT_NE(result.output.find("; recording incomplete: "), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("cannot write " + reader.Path() + ": Broken pipe"),
              std::string::npos)
        << result.output;
}

// The file stops growing part way, as on a disk that fills up: the summary
// counts the reports the file holds, not those taken and lost.
TEST_F(RecordTest, FailedWriteCountsOnlyWhatWasWritten)
{
    const std::string path = _folder.Path() + "/full.tlxr";
    MonitorRun run;
    run.arguments = {"--record", path, "--count", "20"};
    run.withErrors = true;
    run.fileSizeLimit = 100000; // about 400 reports of the 900 that come
    const MonitorResult result = RunMonitor(run);

    ASSERT_TRUE(WIFEXITED(result.waitStatus)) << result.waitStatus;
    EXPECT_EQ(WEXITSTATUS(result.waitStatus), 1);
    const size_t records = _ReadRecording(path, true).size();
    ASSERT_GT(records, 0u);
    const std::string summary = "talmex-monitor: recorded " + std::to_string(records) +
                                " reports, 100000 bytes, to " + path + "; ";
    EXPECT_NE(result.output.find(summary), std::string::npos) << result.output;
    EXPECT_NE(
        result.output.find("; recording incomplete: cannot write " + path + ": File too large\n"),
        std::string::npos)
        << result.output;
}

} // namespace
