// Every figure of ./bench is a median, and the gaps between reports a
// percentile: both rest on this one function. Drifts are slopes.

#include "Statistics.h"

#include <cmath>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using TalmexBench::Median;
using TalmexBench::Percentile;
using TalmexBench::Slope;

TEST(StatisticsTest, PercentilesInterpolateBetweenTheNearestRanks)
{
    struct Case {
        std::vector<double> values;
        double share;
        double expected;
    };
    const Case cases[] = {
        {{3, 1, 2}, 0.5, 2},                               // unsorted, odd count
        {{4, 1, 3, 2}, 0.5, 2.5},                          // even count: between the middle two
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 0.99, 10.9}, // rank 9.9 of 0 to 10
        {{5, 9, 7}, 1.0, 9},                               // the largest
        {{5, 9, 7}, 0.0, 5},                               // the smallest
        {{4}, 0.99, 4},
        {{}, 0.5, 0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(Percentile(c.values, c.share), c.expected)
            << "share " << c.share << " of " << c.values.size() << " values";
    }
    EXPECT_DOUBLE_EQ(Median({2, 8, 4, 6}), 5);
}

TEST(StatisticsTest, SlopeIsTheLeastSquaresLineThroughThePoints)
{
    Slope slope;
    EXPECT_TRUE(std::isnan(slope.Value()));
    slope.Add(1, 2);
    slope.Add(1, 4);
    EXPECT_TRUE(std::isnan(slope.Value())) << "no spread in time";
    // Scattered about the line 2 t + 1 so that the scatter tilts it neither way.
    for (const auto& [t, value] : {std::pair{1.0, 3.5}, {2.0, 4.5}, {3.0, 6.5}, {4.0, 9.5}}) {
        slope.Add(t, value);
    }
    EXPECT_NEAR(slope.Value(), 2, 1e-12);
}

} // namespace
