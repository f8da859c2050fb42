#include "Client/Client.h"
#include "Support/PrivateNetwork.h"
#include "TestPaths.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Talmex::Client::AgentOutput;
using Talmex::Client::Client;
using Talmex::Client::HeadsetState;
using Talmex::Client::Status;

// How a host starts the agent: in a folder the client chooses, never the
// host's own, with what the agent prints kept for the host.
class SpawnTest : public testing::Test {
protected:
    void SetUp() override { TalmexTest::EnterPrivateNetwork(); }

    Client _client;
    HeadsetState _state;
};

TEST_F(SpawnTest, APlugInInTheHostsDirectoryIsNotLoaded)
{
    ASSERT_EQ(chdir(TALMEX_TEST_PLUGIN_FOLDERS "/scripted"), 0);
    ASSERT_TRUE(_client.Spawn(TALMEX_AGENT_PATH) && _client.Wait(_state, 2s))
        << _client.LastError();
    // The simulated headset beside the agent, not the scripted one here.
    EXPECT_EQ(_state.display.resolution[0], 1280);
    EXPECT_EQ(_state.display.screenSize[0], 0.14976f);
}

// The scripted headset, named, says so on both outputs: at load on standard
// output, which the agent keeps line-buffered, and at each OVR_Initialize on
// standard error; both reach the host while the agent runs.
TEST_F(SpawnTest, ANamedHeadsetServesAndWhatItPrintsIsKept)
{
    setenv("TALMEX_SCRIPTED_SAY", "scripted:", 1);
    ASSERT_TRUE(_client.Spawn(TALMEX_AGENT_PATH, "scripted")) << _client.LastError();
    const auto deadline = Client::Clock::now() + 2s;
    while (_client.Agent().Output().LineCount() < 2 && Client::Clock::now() < deadline) {
        _client.Wait(_state, 10ms);
    }
    const std::deque<std::string> printed = {"scripted: loaded", "scripted: OVR_Initialize"};
    EXPECT_EQ(_client.Agent().Output().Lines(), printed);
    _client.Stop();
    EXPECT_EQ(_client.Agent().Output().LineCount(), 2u);
    EXPECT_EQ(_client.Agent().Output().Lines(), printed);
}

TEST_F(SpawnTest, RefusesAHeadsetThereIsNot)
{
    for (const char* name : {"missing", "../scripted", "scripted/..", ".hidden", ".", "", "a b"}) {
        EXPECT_FALSE(_client.Spawn(TALMEX_AGENT_PATH, name)) << name;
        EXPECT_EQ(_client.GetStatus(), Status::kFailed);
        EXPECT_FALSE(_client.Agent().IsStarted());
        EXPECT_NE(_client.LastError().find("; the headsets are: simulated, "), std::string::npos)
            << _client.LastError();
        EXPECT_NE(_client.LastError().find(", scripted, "), std::string::npos)
            << _client.LastError();
    }
}

// Not installed with the agent, the test finds it on the PATH only, where a
// relative folder is passed over.
TEST_F(SpawnTest, FindsTheAgentInTheAbsoluteFoldersOfThePath)
{
    const std::string agent = TALMEX_AGENT_PATH;
    const std::string folder = agent.substr(0, agent.rfind('/'));
    std::string found;
    std::string error;
    setenv("PATH", ("bin:/nonexistent:" + folder).c_str(), 1);
    ASSERT_TRUE(Talmex::Client::FindAgent(found, error)) << error;
    EXPECT_EQ(found, agent);

    ASSERT_EQ(chdir(folder.c_str()), 0);
    setenv("PATH", ".:/nonexistent", 1);
    EXPECT_FALSE(Talmex::Client::FindAgent(found, error));
    EXPECT_EQ(error, "cannot find talmex-agent: tried /nonexistent/talmex-agent (on the PATH)");
}

TEST(AgentOutputTest, CountsLinesKeepsTheLastOnesBoundedAndPrintable)
{
    AgentOutput output;
    output.Add("fir", 3);
    output.Add("st\r\nse\x1b[2Jcond\n", 15);
    EXPECT_EQ(output.LineCount(), 2u);
    EXPECT_EQ(output.Lines(), (std::deque<std::string>{"first", "se?[2Jcond"}));

    const std::string longLine(AgentOutput::kLongestLine + 50, 'x');
    for (size_t i = 0; i < AgentOutput::kKeptLines; ++i) {
        output.Add(longLine.data(), longLine.size());
        output.Add("\n", 1);
    }
    output.Add("unended", 7);
    EXPECT_EQ(output.LineCount(), 2 + AgentOutput::kKeptLines);
    output.Finish();
    output.Finish();
    EXPECT_EQ(output.LineCount(), 3 + AgentOutput::kKeptLines);
    ASSERT_EQ(output.Lines().size(), AgentOutput::kKeptLines);
    EXPECT_EQ(output.Lines().front(), longLine.substr(0, AgentOutput::kLongestLine));
    EXPECT_EQ(output.Lines().back(), "unended");
}

} // namespace
