#include "Monitor/Trace.h"

#include <gtest/gtest.h>

namespace {

using Talmex::Client::YawPitchRoll;
using Talmex::Monitor::Trace;

TEST(TraceTest, KeepsTheLatestSamplesNewestFirst)
{
    Trace trace;
    const size_t added = Trace::kCapacity + 5;
    for (size_t i = 0; i < added; ++i) {
        trace.Add(YawPitchRoll{static_cast<double>(i), 0, 0});
    }
    ASSERT_EQ(trace.Size(), Trace::kCapacity);
    EXPECT_EQ(trace.Back(0).yaw, added - 1);
    EXPECT_EQ(trace.Back(1).yaw, added - 2);
    EXPECT_EQ(trace.Back(Trace::kCapacity - 1).yaw, added - Trace::kCapacity);
}

} // namespace
