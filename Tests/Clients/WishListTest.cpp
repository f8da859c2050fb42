#include "Client/WishList.h"

#include <gtest/gtest.h>

namespace {

using Talmex::Client::WishList;

TEST(WishListTest, ChangeStaysUnconfirmedUntilARequestCarryingItIsAccepted)
{
    WishList wishes;
    wishes.ResetOrientation(0);
    EXPECT_EQ(wishes.Current().sensors[0].resetOrientationCounter, 1u);
    wishes.Sent(7);
    wishes.Accepted(6);
    EXPECT_TRUE(wishes.HasUnconfirmedChange()) << "an older request does not carry it";
    wishes.Sent(8);
    wishes.Accepted(8);
    EXPECT_FALSE(wishes.HasUnconfirmedChange()) << "a later request carries it too";
    wishes.ResetOrientation(5);
    EXPECT_FALSE(wishes.HasUnconfirmedChange()) << "no such sensor";
}

TEST(WishListTest, NewSessionReappliesSettingsAndUnconfirmedActionsOnly)
{
    WishList wishes;
    wishes.SetPredictionTime(1, 0.05f);
    wishes.SetYawCorrection(0, false);
    wishes.ResetOrientation(0);
    wishes.Sent(1);
    wishes.Accepted(1);
    wishes.FeedLatencyTester(); // never confirmed
    wishes.Sent(2);

    wishes.StartSession();
    const auto& current = wishes.Current();
    EXPECT_TRUE(wishes.HasUnconfirmedChange());
    EXPECT_EQ(current.latencyInputCounter, 1u);
    EXPECT_EQ(current.sensors[0].resetOrientationCounter, 0u) << "performed once already";
    EXPECT_EQ(current.sensors[0].yawCorrectionCounter, 1u);
    EXPECT_EQ(current.sensors[0].yawCorrection, 0);
    EXPECT_EQ(current.sensors[0].predictionTimeCounter, 0u) << "never set";
    EXPECT_EQ(current.sensors[1].predictionTimeCounter, 1u);
    EXPECT_EQ(current.sensors[1].predictionTimeSeconds, 0.05f);
    EXPECT_EQ(current.sensors[1].magYawCorrectionCounter, 0u);
}

} // namespace
