#include "JsonSyntax.h"
#include "MonitorProcess.h"
#include "ReportLines.h"

#include <arpa/inet.h>
#include <csignal>
#include <filesystem>
#include <netinet/in.h>
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

// The agent serves without a plug-in when none is beside it.
TEST(LinesTest, SaysSoWhenTheAgentHasNoPlugin)
{
    TemporaryFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string agent = folder.Path() + "/talmex-agent";
    std::filesystem::copy_file(TALMEX_AGENT_PATH, agent);
    std::filesystem::permissions(agent, std::filesystem::perms::owner_all);

    MonitorRun run;
    run.arguments = {"--agent", agent, "--count", "3"};
    run.folder = folder.Path();
    const MonitorResult result = RunMonitor(run);

    ASSERT_TRUE(WIFEXITED(result.waitStatus)) << result.output;
    EXPECT_EQ(WEXITSTATUS(result.waitStatus), 0);
    const std::vector<std::string> lines = Lines(result.output);
    ASSERT_EQ(lines.size(), 4u) << result.output;
    EXPECT_EQ(lines[0], "# no headset plug-in: all values are zero");
}

// A port that takes requests and never answers, as a hung agent would.
TEST(LinesTest, SaysSoWhenTheAgentDoesNotAnswer)
{
    const int silent = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size), 0);

    MonitorRun run;
    run.arguments = {"--attach", "127.0.0.1:" + std::to_string(ntohs(address.sin_port))};
    run.stopOnOutput = "# agent not answering\n";
    const MonitorResult result = RunMonitor(run);
    close(silent);

    EXPECT_EQ(result.output, "# agent not answering\n");
    // Stopped by SIGTERM, it tidies up and then ends by that signal.
    ASSERT_TRUE(WIFSIGNALED(result.waitStatus)) << result.waitStatus;
    EXPECT_EQ(WTERMSIG(result.waitStatus), SIGTERM);
}

} // namespace
