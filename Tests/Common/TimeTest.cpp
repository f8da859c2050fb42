#include "Common/Time.h"
#include "Common/Threading/Thread.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

uint32_t SystemClockMilliseconds()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

TEST(TimeTest, MillisecondsAreTheLow32BitsOfUnixTime)
{
    const uint32_t before = SystemClockMilliseconds();
    const uint32_t ours = Talmex::GetTimeMilliseconds();
    const uint32_t after = SystemClockMilliseconds();
    // Unsigned differences stay right across the 2^32 wrap.
    EXPECT_LE(static_cast<uint32_t>(ours - before), static_cast<uint32_t>(after - before) + 1u);
}

TEST(TimeTest, SleepAdvancesTheClockByAboutItsLength)
{
    const uint32_t start = Talmex::GetTimeMilliseconds();
    Talmex::Threading::Sleep(200);
    const uint32_t elapsed = Talmex::GetTimeMilliseconds() - start;
    EXPECT_GE(elapsed, 199u);
    EXPECT_LT(elapsed, 5000u);
}

// Time spent suspended counts towards the age of a channel. A time namespace
// whose boot-time clock runs a day ahead of its monotonic one stands in for a
// machine that was suspended for a day. It holds for the children made after
// it, so the clock is read in a grandchild.
TEST(TimeTest, AgeingClockCountsTimeSpentSuspended)
{
    const pid_t child = fork();
    if (child == 0) {
        const bool isMoved =
            unshare(CLONE_NEWTIME) == 0 || unshare(CLONE_NEWUSER | CLONE_NEWTIME) == 0;
        const int offsets = isMoved ? open("/proc/self/timens_offsets", O_WRONLY) : -1;
        if (offsets < 0 || dprintf(offsets, "boottime 86400 0\n") < 0) {
            _exit(2);
        }
        close(offsets);
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            timespec boot{};
            clock_gettime(CLOCK_BOOTTIME, &boot);
            const uint32_t expected =
                static_cast<uint32_t>(static_cast<uint64_t>(boot.tv_sec) * 1000u +
                                      static_cast<uint64_t>(boot.tv_nsec) / 1000000u);
            _exit(Talmex::GetMonotonicMilliseconds() - expected < 1000u ? 0 : 1);
        }
        int status = 0;
        _exit(grandchild > 0 && waitpid(grandchild, &status, 0) == grandchild && WIFEXITED(status)
                  ? WEXITSTATUS(status)
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) {
        GTEST_SKIP() << "no time namespace to stand in for a suspend";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
