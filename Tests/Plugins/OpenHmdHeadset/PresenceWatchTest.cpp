// The watch that notices an unplugged device, with a made-up HID layer.

#include "PresenceWatch.h"

#include "Support/Elapsed.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using OpenHmdHeadset::PresenceWatch;

TEST(PresenceWatchTest, TheFirstAnswerThatTheDeviceIsGoneSetsTheFlagForGood)
{
    std::atomic<int> asked{0};
    PresenceWatch watch([&] { return ++asked < 3; }, 5ms);
    for (int i = 0; i < 400 && !watch.IsGone(); ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(watch.IsGone());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(asked.load(), 3) << "no question once it is gone";
}

TEST(PresenceWatchTest, StopsAtOnceWhileWaiting)
{
    const TalmexTest::Clock::time_point start = TalmexTest::Clock::now();
    {
        const PresenceWatch watch([] { return true; }, 1h);
    }
    EXPECT_LT(TalmexTest::MillisecondsSince(start), 1000);
}

} // namespace
