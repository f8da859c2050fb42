#include "Client/WishList.h"
#include "Support/Golden.h"

#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

using Talmex::Client::WishList;
using Talmex::Protocol::kSensorCount;
using Talmex::Protocol::Wishes;

// One step of Golden/client-wishes.txt.
void Apply(WishList& wishes, const std::string& step)
{
    std::istringstream words(step);
    std::string name, onOff;
    int sensor = 0;
    float seconds = 0;
    uint32_t sequence = 0;
    words >> name;
    if (name == "feed") {
        wishes.FeedLatencyTester();
    } else if (name == "session") {
        wishes.StartSession();
    } else if (name == "sent" && words >> sequence) {
        wishes.Sent(sequence);
    } else if (name == "accepted" && words >> sequence) {
        wishes.Accepted(sequence);
    } else if (name == "reset" && words >> sensor) {
        wishes.ResetOrientation(sensor);
    } else if (name == "predict" && words >> sensor >> seconds) {
        wishes.SetPredictionTime(sensor, seconds);
    } else if (name == "yaw" && words >> sensor >> onOff) {
        wishes.SetYawCorrection(sensor, onOff == "on");
    } else if (name == "mag" && words >> sensor >> onOff) {
        wishes.SetMagYawCorrection(sensor, onOff == "on");
    } else {
        ADD_FAILURE() << "not a step: " << step;
    }
}

// The fields that are not zero, as NAME=VALUE in the table's names.
std::set<std::string> NonZero(const Wishes& wishes)
{
    std::set<std::string> fields;
    const auto add = [&fields](const std::string& name, auto value) {
        std::ostringstream text;
        text << name << '=' << +value;
        if (value != 0) {
            fields.insert(text.str());
        }
    };
    add("feed", wishes.latencyInputCounter);
    for (int s = 0; s < kSensorCount; ++s) {
        const std::string n = std::to_string(s);
        const auto& sensor = wishes.sensors[s];
        add("reset" + n, sensor.resetOrientationCounter);
        add("predict" + n, sensor.predictionTimeCounter);
        add("seconds" + n, sensor.predictionTimeSeconds);
        add("yaw" + n, sensor.yawCorrectionCounter);
        add("yaw-on" + n, sensor.yawCorrection);
        add("mag" + n, sensor.magYawCorrectionCounter);
        add("mag-on" + n, sensor.magYawCorrection);
    }
    return fields;
}

std::set<std::string> Words(const std::string& text)
{
    std::istringstream words(text == "none" ? "" : text);
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

// The same table checks the Python client's wish list.
TEST(WishListTest, HoldsWhatTheTableSaysAfterEachRunOfSteps)
{
    const auto cases = TalmexTest::GoldenTable("client-wishes.txt");
    ASSERT_FALSE(cases.empty());
    for (const std::vector<std::string>& fields : cases) {
        ASSERT_EQ(fields.size(), 4u) << fields[0];
        WishList wishes;
        std::istringstream steps(fields[1]);
        for (std::string step; std::getline(steps, step, ',');) {
            Apply(wishes, step);
        }
        EXPECT_EQ(wishes.HasUnconfirmedChange() ? "yes" : "no", fields[2]) << fields[0];
        EXPECT_EQ(NonZero(wishes.Current()), Words(fields[3])) << fields[0];
    }
}

} // namespace
