// The watch that notices an unplugged device, with a made-up HID layer.

#include "PresenceWatch.h"

#include "Support/Elapsed.h"

#include <hidapi.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using OpenHmdHeadset::PresenceWatch;

TEST(PresenceWatchTest, TheFirstAnswerThatTheDeviceIsGoneSetsTheFlag)
{
    std::atomic<int> asked{0};
    PresenceWatch watch([&] { return ++asked < 3; }, 5ms);
    for (int i = 0; i < 400 && !watch.IsGone(); ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(watch.IsGone());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(asked.load(), 3) << "no more questions once it is gone";
}

TEST(PresenceWatchTest, StopsAtOnceWhileWaiting)
{
    const TalmexTest::Clock::time_point start = TalmexTest::Clock::now();
    {
        PresenceWatch watch([] { return true; }, 1h);
        EXPECT_FALSE(watch.IsGone());
    }
    EXPECT_LT(TalmexTest::MillisecondsSince(start), 1000);
}

TEST(PresenceWatchTest, APathIsListedOnlyWhenTheEnumerationHoldsItWhole)
{
    char first[] = "1-2:1.0", second[] = "1-3:1.0";
    hid_device_info tail{};
    tail.path = second;
    hid_device_info withoutPath{};
    withoutPath.next = &tail;
    hid_device_info head{};
    head.path = first;
    head.next = &withoutPath;
    EXPECT_TRUE(OpenHmdHeadset::IsListed(&head, "1-2:1.0"));
    EXPECT_TRUE(OpenHmdHeadset::IsListed(&head, "1-3:1.0"));
    EXPECT_FALSE(OpenHmdHeadset::IsListed(&head, "1-2:1"));
    EXPECT_FALSE(OpenHmdHeadset::IsListed(&head, "1-4:1.0"));
    EXPECT_FALSE(OpenHmdHeadset::IsListed(nullptr, "1-2:1.0"));
}

} // namespace
