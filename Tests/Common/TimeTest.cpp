#include "Common/Time.h"
#include "Common/Threading/Thread.h"

#include <chrono>
#include <cstdint>

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

} // namespace
