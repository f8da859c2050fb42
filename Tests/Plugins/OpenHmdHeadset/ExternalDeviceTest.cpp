// OpenHMD's External device fed a known motion through the plug-in: the
// orientation OpenHMD's fusion makes of it, the angular velocity and the
// prediction the plug-in derives, and its reset. Sensor 1 carries the
// recorded truth of the sample last fed.

#include "OpenHmdPluginTest.h"
#include "Support/Elapsed.h"

#include <thread>

namespace {

using namespace TalmexTest;

// What one sensor says of its orientation and turning.
struct Reading {
    Quaternion orientation, predicted;
    Vector3 angularVelocity;
    bool isTurning; // the angular velocity and the prediction are valid
};

class ExternalDeviceTest : public OpenHmdPluginTest {
protected:
    void Start(const PitchThenYaw& motion, double seconds)
    {
        _motion = motion;
        ASSERT_NO_FATAL_FAILURE(Load("external", motion, seconds));
        ASSERT_TRUE(_plugin->Initialize());
        ASSERT_EQ(_plugin->GetSensorCount(), 2);
    }

    // Updates every 2 ms until the truth reaches the motion's time t, handing
    // on the head sensor and the truth each time; the time reached, or
    // nothing after 5 s.
    template <class OnUpdate>
    std::optional<double> UpdateUntil(double t, OnUpdate onUpdate)
    {
        const Clock::time_point start = Clock::now();
        while (MillisecondsSince(start) < 5000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            OVR_MessageList messages{};
            const bool isValid = _plugin->Update(&messages);
            const Reading head = Read(0), truth = Read(1);
            const double now = _motion.TimeOf(truth.orientation);
            if (!isValid) {
                return std::nullopt;
            }
            onUpdate(now, head, truth);
            if (now >= t - kFeedPeriod / 2) {
                return now;
            }
        }
        return std::nullopt;
    }

    Reading Read(int sensor)
    {
        float q[4] = {}, p[4] = {}, w[3] = {};
        _plugin->GetSensorOrientation(sensor, &q[0], &q[1], &q[2], &q[3]);
        const bool isTurning =
            _plugin->GetSensorPredictedOrientation(sensor, &p[0], &p[1], &p[2], &p[3]);
        _plugin->GetAngularVelocity(sensor, &w[0], &w[1], &w[2]);
        return {{q[0], q[1], q[2], q[3]}, {p[0], p[1], p[2], p[3]}, {w[0], w[1], w[2]}, isTurning};
    }

    PitchThenYaw _motion;
};

struct MotionCase {
    const char* name;
    PitchThenYaw motion;
};

void PrintTo(const MotionCase& c, std::ostream* out)
{
    *out << c.name;
}

const MotionCase kMotions[] = {
    {"SteadyYaw", {0, 0, 30 * kDegree}},
    {"PitchThenYaw", {20 * kDegree, 0.5, 30 * kDegree}},
};

class FedMotionTest : public ExternalDeviceTest, public testing::WithParamInterface<MotionCase> {};

TEST_P(FedMotionTest, OrientationFollowsTheTruthAndPredictsItsCourse)
{
    const PitchThenYaw& motion = GetParam().motion;
    ASSERT_NO_FATAL_FAILURE(Start(motion, 1.0));
    const double rate = std::max(motion.pitchRate, motion.yawRate);
    int compared = 0;
    double largestError = 0, largestPredictionError = 0;
    ASSERT_TRUE(UpdateUntil(1.0, [&](double t, const Reading& head, const Reading& truth) {
        // The angular velocity looks 25 ms back, the prediction 30 ms ahead:
        // neither may span the turn from pitching to yawing.
        if (!head.isTurning || std::fabs(t - motion.pitchSeconds) < 0.03) {
            return;
        }
        ++compared;
        largestError = std::max(largestError, head.orientation.AngleTo(truth.orientation));
        const Vector3 w = head.angularVelocity, truthW = truth.angularVelocity;
        EXPECT_NEAR(Vector3({w.x - truthW.x, w.y - truthW.y, w.z - truthW.z}).Length(), 0,
                    0.01 * rate)
            << "at " << t << " s";
        largestPredictionError = std::max(largestPredictionError,
                                          head.predicted.AngleTo(motion.OrientationAt(t + 0.03)));
    }));
    EXPECT_GT(compared, 100);
    EXPECT_LE(largestError, rate * kFeedPeriod + 0.02 * kDegree);
    EXPECT_LE(largestPredictionError, 0.1 * kDegree);
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
        const Quaternion yaw = Quaternion::AboutAxis({0, 1, 0}, motion.yawRate * (t - *resetAt));
        EXPECT_LT(head.orientation.AngleTo(yaw), 0.05 * kDegree) << "at " << t << " s";
    }));
    EXPECT_GT(compared, 100);
}

} // namespace
