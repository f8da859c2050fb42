#include "JsonSyntax.h"
#include "MonitorProcess.h"
#include "ReportLines.h"

#include "Support/AgentProcess.h"
#include "Support/PrivateNetwork.h"
#include "Support/ProtocolBytes.h"
#include "TestPaths.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace MonitorTest;

TEST(LinesTest, JsonCountPrintsThatManyObjectsAndSucceeds)
{
    MonitorRun run;
    run.arguments = {"--json", "--count", "50"};
    const MonitorResult result = RunMonitor(run);

    ASSERT_TRUE(WIFEXITED(result.waitStatus)) << result.output;
    EXPECT_EQ(WEXITSTATUS(result.waitStatus), 0);
    const std::vector<std::string> lines = Lines(result.output);
    ASSERT_EQ(lines.size(), 50u);
    unsigned long previous = 0;
    for (const std::string& line : lines) {
        EXPECT_TRUE(IsJsonObject(line)) << line;
        const unsigned long sequence = SequenceOf(line);
        EXPECT_GT(sequence, previous) << "reports in their order, each once";
        previous = sequence;
    }
}

// The rate is counted over whole seconds: before the first, there is none to show.
TEST(LinesTest, ShowsNoRateUntilOneIsCounted)
{
    MonitorRun run;
    run.arguments = {"--count", "15"};
    const MonitorResult result = RunMonitor(run);

    ASSERT_TRUE(WIFEXITED(result.waitStatus)) << result.output;
    const std::vector<std::string> lines = Lines(result.output);
    ASSERT_EQ(lines.size(), 15u);
    for (const std::string& line : lines) {
        char rate[32] = "";
        ASSERT_EQ(std::sscanf(line.c_str(), "sequence %*u session %*s rate %31s", rate), 1) << line;
        EXPECT_TRUE(rate == std::string("-") || std::atof(rate) > 0) << line;
    }
    EXPECT_NE(lines.front().find(" rate - "), std::string::npos) << lines.front();
    EXPECT_EQ(lines.back().find(" rate - "), std::string::npos) << lines.back();
}

// Which of the two it is: no plug-in, or one that finds no headset. The
// simulated headset finds none when its recording cannot be replayed.
struct NoHeadsetCase {
    const char* name;
    bool hasPlugin;
    bool isAttached;
    std::vector<std::string> arguments;
    const char* note;
};

const NoHeadsetCase kNoHeadsetCases[] = {
    {"NoPlugin", false, false, {}, "# no headset plug-in: all values are zero"},
    {"PluginWithoutHeadset", true, false, {}, "# plug-in loaded, no headset present"},
    {"Json", true, false, {"--json"}, "talmex-monitor: plug-in loaded, no headset present"},
    {"Attached", true, true, {}, "# no headset: no plug-in, or it finds none"},
};

void PrintTo(const NoHeadsetCase& noHeadset, std::ostream* out)
{
    *out << noHeadset.name;
}

class NoHeadsetTest : public testing::TestWithParam<NoHeadsetCase> {};

TEST_P(NoHeadsetTest, SaysWhyThereIsNone)
{
    const NoHeadsetCase& noHeadset = GetParam();
    TemporaryFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string recording = folder.Path() + "/missing.tlxr";
    MonitorRun run;
    run.arguments = {"--count", "3"};
    run.arguments.insert(run.arguments.end(), noHeadset.arguments.begin(),
                         noHeadset.arguments.end());
    run.withErrors = true;
    std::optional<TalmexTest::AgentProcess> agent;
    if (noHeadset.isAttached) {
        if (!TalmexTest::EnterPrivateNetwork()) {
            GTEST_SKIP() << "needs a private network namespace (root)";
        }
        TalmexTest::AgentProcess::Options options;
        options.workingDirectory = "/";
        options.environment = {{"TALMEX_REPLAY", recording}};
        agent.emplace(options);
        run.arguments.push_back("--attach");
        run.arguments.push_back("127.0.0.1:" + std::to_string(TalmexTest::kFirstPort));
    } else if (noHeadset.hasPlugin) {
        run.environment = {"TALMEX_REPLAY=" + recording};
    } else {
        // The agent serves without a plug-in when none is beside it.
        const std::string copy = folder.Path() + "/talmex-agent";
        std::filesystem::copy_file(TALMEX_AGENT_PATH, copy);
        std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
        run.arguments.push_back("--agent");
        run.arguments.push_back(copy);
        run.folder = folder.Path();
    }
    const MonitorResult result = RunMonitor(run);

    ASSERT_TRUE(WIFEXITED(result.waitStatus)) << result.output;
    EXPECT_EQ(WEXITSTATUS(result.waitStatus), 0);
    const std::vector<std::string> lines = Lines(result.output);
    EXPECT_NE(std::find(lines.begin(), lines.end(), noHeadset.note), lines.end()) << result.output;
}

INSTANTIATE_TEST_SUITE_P(Cases, NoHeadsetTest, testing::ValuesIn(kNoHeadsetCases),
                         [](const testing::TestParamInfo<NoHeadsetCase>& info) {
                             return info.param.name;
                         });

// A port that takes requests and never answers, as a hung agent would, or
// one attached to that has gone.
TEST(LinesTest, GivesUpOnAnAgentThatDoesNotAnswer)
{
    const int silent = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size), 0);

    MonitorRun run;
    run.arguments = {"--attach", "127.0.0.1:" + std::to_string(ntohs(address.sin_port)), "--count",
                     "5"};
    const MonitorResult result = RunMonitor(run);
    close(silent);

    EXPECT_EQ(result.output, "# agent not answering\n# no report for 5 s: giving up\n");
    ASSERT_TRUE(WIFEXITED(result.waitStatus)) << result.waitStatus;
    EXPECT_EQ(WEXITSTATUS(result.waitStatus), 1);
}

} // namespace
