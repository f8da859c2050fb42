#include "Common/Threading/Thread.h"

#include <atomic>

#include <gtest/gtest.h>

namespace {

using Talmex::Threading::Sleep;
using Talmex::Threading::Thread0;

std::atomic<int> _runs{0};
std::atomic<bool> _finished{false};

void CountRun()
{
    ++_runs;
}

void FinishSlowly()
{
    Sleep(100);
    _finished = true;
}

int ReturnValue()
{
    ++_runs;
    return 42;
}

class ThreadTest : public testing::Test {
protected:
    void SetUp() override
    {
        _runs = 0;
        _finished = false;
    }
};

TEST_F(ThreadTest, JoinWaitsUntilTheEntryFunctionHasReturned)
{
    Thread0<void> thread(&FinishSlowly);
    thread.Invoke();
    EXPECT_TRUE(thread.IsRunning());
    thread.Join();
    EXPECT_TRUE(_finished);
    EXPECT_FALSE(thread.IsRunning());
}

TEST_F(ThreadTest, NothingRunsBeforeInvoke)
{
    {
        Thread0<void> thread(&CountRun);
        EXPECT_FALSE(thread.IsRunning());
        thread.Join(); // idle: returns at once
    }
    EXPECT_EQ(_runs, 0);
}

TEST_F(ThreadTest, CanBeStartedAgainAfterJoin)
{
    Thread0<void> thread(&CountRun);
    thread.Invoke();
    thread.Join();
    thread.Join(); // a second join of the same start does nothing
    thread.Invoke();
    thread.Join();
    EXPECT_EQ(_runs, 2);
}

TEST_F(ThreadTest, InvokeJoinsAFinishedButUnjoinedThreadFirst)
{
    Thread0<void> thread(&CountRun);
    thread.Invoke();
    for (int i = 0; i < 500 && _runs < 1; ++i) {
        Sleep(1);
    }
    thread.Invoke();
    EXPECT_TRUE(thread.IsRunning());
    thread.Join();
    EXPECT_EQ(_runs, 2);
}

TEST_F(ThreadTest, DestructorJoinsARunningThread)
{
    {
        Thread0<void> thread(&FinishSlowly);
        thread.Invoke();
    }
    EXPECT_TRUE(_finished);
}

TEST_F(ThreadTest, ResultOfTheEntryFunctionIsDiscarded)
{
    Thread0<int> thread(&ReturnValue);
    thread.Invoke();
    thread.Join();
    EXPECT_EQ(_runs, 1);
}

} // namespace
