// OpenHMD's External device fed a known motion through the plug-in, loaded as
// the agent loads it: the orientation OpenHMD's fusion makes of it, the
// angular velocity and prediction the plug-in derives, and its reset.
// Sensor 1 carries the recorded truth of the sample last fed.

#include "Support/BoundPlugin.h"
#include "Support/Elapsed.h"
#include "Support/MotionRecording.h"

#include <cstdlib>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace TalmexTest;

// A report every 2 ms, as the agent samples its plug-in.
constexpr double kFeedPeriod = 0.002;
constexpr std::chrono::microseconds kUpdatePeriod{2000};

// What one sensor says of its orientation and turning.
struct Reading {
    Quaternion orientation{1, 0, 0, 0};
    Quaternion predicted{1, 0, 0, 0};
    Vector3 angularVelocity{0, 0, 0};
    bool isValid = false;
};

class ExternalDeviceTest : public testing::Test {
protected:
    void TearDown() override
    {
        if (_plugin) {
            _plugin->Destroy();
        }
        unsetenv("TALMEX_OPENHMD_DEVICE");
        unsetenv("TALMEX_REPLAY");
        unlink(_path.c_str());
    }

    // Feeds the motion for the given seconds of its own.
    void Start(const PitchThenYaw& motion, double seconds)
    {
        _motion = motion;
        ASSERT_TRUE(WriteMotionRecording(_path, motion, seconds, kFeedPeriod));
        setenv("TALMEX_OPENHMD_DEVICE", "external", 1);
        setenv("TALMEX_REPLAY", _path.c_str(), 1);
        _plugin.emplace(TALMEX_OPENHMD_HEADSET);
        ASSERT_TRUE(_plugin->IsComplete());
        ASSERT_TRUE(_plugin->Initialize());
        ASSERT_EQ(_plugin->GetSensorCount(), 2);
    }

    // Updates once every 2 ms until the truth reaches the motion's time t,
    // handing on every update; the time reached, or nothing after 5 s.
    template <class OnUpdate> std::optional<double> UpdateUntil(double t, OnUpdate onUpdate)
    {
        const Clock::time_point start = Clock::now();
        while (MillisecondsSince(start) < 5000) {
            std::this_thread::sleep_for(kUpdatePeriod);
            OVR_MessageList messages{};
            if (!_plugin->Update(&messages)) {
                return std::nullopt;
            }
            const Reading head = Read(0);
            const Reading truth = Read(1);
            const double now = _motion.TimeOf(truth.orientation);
            onUpdate(now, head, truth);
            if (now >= t - kFeedPeriod / 2) {
                return now;
            }
        }
        return std::nullopt;
    }

    Reading Read(int sensor)
    {
        float q[4], p[4], w[3];
        Reading r;
        r.isValid = _plugin->GetSensorOrientation(sensor, &q[0], &q[1], &q[2], &q[3]) &&
                    _plugin->GetAngularVelocity(sensor, &w[0], &w[1], &w[2]);
        if (sensor == 0) {
            r.isValid = r.isValid &&
                        _plugin->GetSensorPredictedOrientation(0, &p[0], &p[1], &p[2], &p[3]);
            r.predicted = {p[0], p[1], p[2], p[3]};
        }
        r.orientation = {q[0], q[1], q[2], q[3]};
        r.angularVelocity = {w[0], w[1], w[2]};
        return r;
    }

    std::string _path = testing::TempDir() + "talmex-motion-" + std::to_string(getpid());
    PitchThenYaw _motion;
    std::optional<BoundPlugin> _plugin;
};

struct MotionCase {
    const char* name;
    PitchThenYaw motion;
    double seconds;
};

const MotionCase kMotions[] = {
    {"SteadyYaw", {0, 0, 30 * kDegree}, 1.0},
    {"PitchThenYaw", {20 * kDegree, 0.5, 30 * kDegree}, 1.0},
};

void PrintTo(const MotionCase& c, std::ostream* out)
{
    *out << c.name;
}

class FedMotionTest : public ExternalDeviceTest,
                      public testing::WithParamInterface<MotionCase> {};

TEST_P(FedMotionTest, OrientationFollowsTheTruthAndPredictsItsCourse)
{
    const MotionCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(c.motion, c.seconds));
    const double rate = std::max(c.motion.pitchRate, c.motion.yawRate);
    const double corner = c.motion.pitchSeconds;
    // The angular velocity looks 25 ms back, the prediction 30 ms ahead:
    // neither may span the turn from pitching to yawing.
    const auto nearCorner = [&](double t) {
        return corner > 0 && t > corner - 0.03 && t < corner + 0.03;
    };
    int compared = 0;
    double largestError = 0, largestPredictionError = 0;
    ASSERT_TRUE(UpdateUntil(c.seconds, [&](double t, const Reading& head, const Reading& truth) {
        ASSERT_TRUE(truth.isValid);
        if (!head.isValid || nearCorner(t) || t < 0.03) {
            return;
        }
        ++compared;
        largestError = std::max(largestError, head.orientation.AngleTo(truth.orientation));
        const Vector3 w = head.angularVelocity, truthW = truth.angularVelocity;
        EXPECT_NEAR(w.x, truthW.x, 0.01 * rate) << "at " << t << " s";
        EXPECT_NEAR(w.y, truthW.y, 0.01 * rate) << "at " << t << " s";
        EXPECT_NEAR(w.z, truthW.z, 0.01 * rate) << "at " << t << " s";
        largestPredictionError =
            std::max(largestPredictionError,
                     head.predicted.AngleTo(c.motion.OrientationAt(t + 0.03)));
    }));
    EXPECT_GT(compared, 300);
    EXPECT_LE(largestError, rate * kFeedPeriod + 0.02 * kDegree);
    EXPECT_LE(largestPredictionError, 0.1 * kDegree);
    float seconds = 0;
    EXPECT_TRUE(_plugin->GetSensorPredictionTime(0, &seconds));
    EXPECT_FLOAT_EQ(seconds, 0.03f);
}

INSTANTIATE_TEST_SUITE_P(Motions, FedMotionTest, testing::ValuesIn(kMotions),
                         [](const testing::TestParamInfo<MotionCase>& info) {
                             return info.param.name;
                         });

TEST_F(ExternalDeviceTest, AResetTakenWhilePitchedGivesAPureYawAfterwards)
{
    const PitchThenYaw motion = {20 * kDegree, 0.5, 30 * kDegree};
    ASSERT_NO_FATAL_FAILURE(Start(motion, 1.2));
    const std::optional<double> resetAt =
        UpdateUntil(0.7, [](double, const Reading&, const Reading&) {});
    ASSERT_TRUE(resetAt);
    ASSERT_TRUE(_plugin->ResetSensorOrientation(0));
    int compared = 0;
    ASSERT_TRUE(UpdateUntil(1.2, [&](double t, const Reading& head, const Reading&) {
        ++compared;
        const Quaternion yawOnly = Quaternion::AboutAxis({0, 1, 0}, motion.yawRate * (t - *resetAt));
        EXPECT_LT(head.orientation.AngleTo(yawOnly), 0.05 * kDegree) << "at " << t << " s";
    }));
    EXPECT_GT(compared, 100);
}

} // namespace
