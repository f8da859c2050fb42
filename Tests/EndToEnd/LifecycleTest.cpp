#include "Support/AgentProcess.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using TalmexTest::AgentProcess;

// Generous: the agent polls its input every 100 ms.
constexpr int kExitTimeoutMilliseconds = 5000;

AgentProcess::Options WithInput(AgentProcess::Input input)
{
    AgentProcess::Options options;
    options.input = input;
    return options;
}

TEST(LifecycleTest, RunsWhileThePipeIsOpenAndExitsWhenItCloses)
{
    AgentProcess agent;
    const std::string chunk(300, 'x');
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(agent.WriteInput(chunk.data(), chunk.size()));
        usleep(50000);
        ASSERT_TRUE(agent.IsRunning());
    }
    agent.CloseInput();
    EXPECT_EQ(agent.WaitForExit(kExitTimeoutMilliseconds), 0);
}

TEST(LifecycleTest, DrainsUnreadInputBeforeStopping)
{
    AgentProcess agent;
    const std::string data(3000, 'y'); // three reads of 1024 bytes at most
    ASSERT_TRUE(agent.WriteInput(data.data(), data.size()));
    agent.CloseInput();
    EXPECT_EQ(agent.WaitForExit(kExitTimeoutMilliseconds), 0);
}

TEST(LifecycleTest, EmptyInputStopsAtOnce)
{
    AgentProcess agent(WithInput(AgentProcess::Input::DevNull));
    EXPECT_EQ(agent.WaitForExit(kExitTimeoutMilliseconds), 0);
}

TEST(LifecycleTest, ClosedInputStopsAtOnce)
{
    AgentProcess agent(WithInput(AgentProcess::Input::Closed));
    EXPECT_EQ(agent.WaitForExit(kExitTimeoutMilliseconds), 0);
}

TEST(LifecycleTest, RestoresTheBlockingModeOfItsInput)
{
    AgentProcess agent;
    // The pipe's mode is shared with the agent, so its switch shows here.
    bool sawNonBlocking = false;
    for (int i = 0; i < 500 && !sawNonBlocking; ++i) {
        sawNonBlocking = (fcntl(agent.InputReadEnd(), F_GETFL) & O_NONBLOCK) != 0;
        usleep(10000);
    }
    EXPECT_TRUE(sawNonBlocking);
    agent.CloseInput();
    ASSERT_EQ(agent.WaitForExit(kExitTimeoutMilliseconds), 0);
    EXPECT_EQ(fcntl(agent.InputReadEnd(), F_GETFL) & O_NONBLOCK, 0);
}

} // namespace
