// The simulated headset, loaded as the agent loads it, behaves like a
// plausible headset: consistent motion values and real command responses.

#include "Protocol/Recording.h"
#include "Protocol/Report.h"
#include "Support/BoundPlugin.h"
#include "TestPaths.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

struct Quaternion {
    float w = 0, x = 0, y = 0, z = 0;
};

double Norm(const Quaternion& q)
{
    return std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
}

// The rotation angle between two unit quaternions.
double AngleBetween(const Quaternion& a, const Quaternion& b)
{
    const double dot = std::fabs(a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z);
    return 2 * std::acos(std::min(1.0, dot));
}

class SimulatedHeadsetTest : public testing::Test {
protected:
    void SetUp() override { Load(); }

    void Load()
    {
        _headset.reset();
        _headset.emplace(TALMEX_SIMULATED_HEADSET);
        ASSERT_TRUE(_headset->IsComplete());
    }

    void TearDown() override
    {
        if (_headset && _headset->IsComplete()) {
            _headset->Destroy();
        }
        _headset.reset();
    }

    Quaternion Orientation()
    {
        Quaternion q;
        EXPECT_TRUE(_headset->GetSensorOrientation(0, &q.w, &q.x, &q.y, &q.z));
        return q;
    }

    Quaternion Predicted()
    {
        Quaternion q;
        EXPECT_TRUE(_headset->GetSensorPredictedOrientation(0, &q.w, &q.x, &q.y, &q.z));
        return q;
    }

    std::optional<TalmexTest::BoundPlugin> _headset;
};

TEST_F(SimulatedHeadsetTest, AnswersOnlyWhileSwitchedOn)
{
    float value = 7;
    EXPECT_FALSE(_headset->IsHMDPresent());
    EXPECT_EQ(_headset->GetSensorCount(), 0);
    EXPECT_FALSE(_headset->GetEyeToScreenDistance(&value));
    EXPECT_EQ(value, 7);

    ASSERT_TRUE(_headset->Initialize());
    EXPECT_TRUE(_headset->IsHMDPresent());
    EXPECT_EQ(_headset->GetSensorCount(), 1);
    int width = 0, height = 0;
    EXPECT_TRUE(_headset->GetScreenResolution(&width, &height));
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 800);
    EXPECT_TRUE(_headset->IsSensorPresent(0));
    EXPECT_FALSE(_headset->IsSensorPresent(1));
    EXPECT_FALSE(_headset->GetSensorOrientation(1, &value, &value, &value, &value));

    OVR_MessageList messages{};
    EXPECT_TRUE(_headset->Update(&messages));
    EXPECT_EQ(messages.flags[0], 1) << "started since the last update";
    messages = {};
    EXPECT_TRUE(_headset->Update(&messages));
    EXPECT_EQ(messages.flags[0], 0);

    EXPECT_TRUE(_headset->Destroy());
    EXPECT_FALSE(_headset->IsHMDPresent());
}

TEST_F(SimulatedHeadsetTest, MotionValuesAreConsistent)
{
    ASSERT_TRUE(_headset->Initialize());
    usleep(50000);
    EXPECT_NEAR(Norm(Orientation()), 1.0, 1e-5);

    float ax, ay, az, mx, my, mz, wx, wy, wz;
    ASSERT_TRUE(_headset->GetAcceleration(0, &ax, &ay, &az));
    ASSERT_TRUE(_headset->GetMagnetometer(0, &mx, &my, &mz));
    ASSERT_TRUE(_headset->GetAngularVelocity(0, &wx, &wy, &wz));
    EXPECT_NEAR(std::sqrt(ax * ax + ay * ay + az * az), 9.80665, 1e-3) << "gravity, turned";
    EXPECT_NEAR(std::sqrt(mx * mx + my * my + mz * mz), std::sqrt(0.42 * 0.42 + 0.21 * 0.21), 1e-4);
    const double speed = std::sqrt(wx * wx + wy * wy + wz * wz);
    EXPECT_GT(speed, 0.0);
    EXPECT_LT(speed, 1.0) << "a slow sway, radians per second";

    // The prediction looks ahead along the motion by the prediction time.
    ASSERT_TRUE(_headset->SetSensorPredictionTime(0, 0.2f));
    float predictionTime = 0;
    ASSERT_TRUE(_headset->GetSensorPredictionTime(0, &predictionTime));
    EXPECT_FLOAT_EQ(predictionTime, 0.2f);
    const Quaternion now = Orientation();
    const Quaternion ahead = Predicted();
    EXPECT_NEAR(AngleBetween(now, ahead), speed * 0.2, 0.05);

    ASSERT_TRUE(_headset->SetSensorPredictionTime(0, 0.0f));
    EXPECT_LT(AngleBetween(Orientation(), Predicted()), 1e-3);
    EXPECT_FALSE(_headset->SetSensorPredictionTime(0, -1.0f));
    EXPECT_FALSE(_headset->SetSensorPredictionTime(0, NAN));
}

TEST_F(SimulatedHeadsetTest, ResetMakesTheCurrentOrientationTheReference)
{
    ASSERT_TRUE(_headset->Initialize());
    usleep(300000);
    EXPECT_GT(AngleBetween(Orientation(), Quaternion{1, 0, 0, 0}), 1e-3);
    ASSERT_TRUE(_headset->ResetSensorOrientation(0));
    EXPECT_LT(AngleBetween(Orientation(), Quaternion{1, 0, 0, 0}), 1e-3);
}

TEST_F(SimulatedHeadsetTest, CorrectionSwitchesAreReported)
{
    ASSERT_TRUE(_headset->Initialize());
    EXPECT_TRUE(_headset->IsYawCorrectionEnabled(0));
    EXPECT_FALSE(_headset->IsMagCalibrated(0));
    ASSERT_TRUE(_headset->EnableYawCorrection(0, 0));
    EXPECT_FALSE(_headset->IsYawCorrectionEnabled(0));
    ASSERT_TRUE(_headset->EnableMagYawCorrection(0, 1));
    EXPECT_TRUE(_headset->IsMagCalibrated(0));
    EXPECT_FALSE(_headset->EnableYawCorrection(1, 1)) << "no second sensor";
}

TEST_F(SimulatedHeadsetTest, LatencyTesterFlashesAndReportsAResult)
{
    ASSERT_TRUE(_headset->Initialize());
    unsigned char r = 9, g = 9, b = 9;
    EXPECT_FALSE(_headset->DisplayLatencyScreenColor(&r, &g, &b));
    EXPECT_EQ(_headset->GetLatencyResultsString(), nullptr);

    _headset->ProcessLatencyInputs();
    ASSERT_TRUE(_headset->DisplayLatencyScreenColor(&r, &g, &b));
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(b, 255);

    OVR_MessageList messages{};
    for (int i = 0; i < 100 && messages.flags[1] == 0; ++i) {
        usleep(10000);
        messages = {};
        _headset->Update(&messages);
    }
    EXPECT_EQ(messages.flags[1], 1) << "the measurement finished";
    EXPECT_NE(_headset->GetLatencyResultsString(), nullptr);
    EXPECT_FALSE(_headset->DisplayLatencyScreenColor(&r, &g, &b));
}

// The headset replaying a recording of two reports, 300 ms apart: the second
// turned 90 degrees about y and turning at 1 rad/s about y.
class ReplayTest : public SimulatedHeadsetTest {
protected:
    void SetUp() override
    {
        _path = testing::TempDir() + "talmex-replay-" + std::to_string(getpid());
        setenv("TALMEX_REPLAY", _path.c_str(), 1);
    }

    void TearDown() override
    {
        SimulatedHeadsetTest::TearDown();
        unsetenv("TALMEX_REPLAY");
        unlink(_path.c_str());
    }

    void WriteRecording()
    {
        using namespace Talmex::Protocol;
        std::vector<unsigned char> bytes;
        AppendRecordingHeader(0, bytes);
        Report report;
        report.display.hmdPresent = report.display.resolutionValid = true;
        report.display.resolution[0] = 640;
        report.display.resolution[1] = 480;
        report.sensorCount = 1;
        SensorState& sensor = report.sensors[0];
        sensor.present = sensor.orientationValid = sensor.angularVelocityOrMagnetometerValid = true;
        const float turns[2][4] = {{1, 0, 0, 0}, {0.70710678f, 0, 0.70710678f, 0}};
        for (int i = 0; i < 2; ++i) {
            std::copy(turns[i], turns[i] + 4, sensor.orientation);
            sensor.angularVelocity[1] = static_cast<float>(i);
            BlockWriter writer;
            Stream stream;
            WriteReport(report, writer, stream);
            AppendRecord(5000000 + 300000u * i, stream.Data(), stream.Size(), bytes);
        }
        std::ofstream(_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    // Updates until the orientation is (near) the given one, for at most 2 s.
    bool Reaches(const Quaternion& target)
    {
        for (int i = 0; i < 200; ++i) {
            OVR_MessageList messages{};
            _headset->Update(&messages);
            if (AngleBetween(Orientation(), target) < 1e-3) {
                return true;
            }
            usleep(10000);
        }
        return false;
    }

    std::string _path;
};

TEST_F(ReplayTest, ServesTheRecordingInItsTimingLoopedWithCommandsOnTop)
{
    WriteRecording();
    Load();
    ASSERT_TRUE(_headset->Initialize());
    int width = 0, height = 0;
    EXPECT_TRUE(_headset->GetScreenResolution(&width, &height));
    EXPECT_EQ(width, 640);
    EXPECT_EQ(_headset->GetSensorCount(), 1);
    const Quaternion level{1, 0, 0, 0};
    const Quaternion turned{0.70710678f, 0, 0.70710678f, 0};
    EXPECT_LT(AngleBetween(Orientation(), level), 1e-3);
    EXPECT_TRUE(Reaches(turned));
    EXPECT_TRUE(Reaches(level)) << "the replay loops";
    ASSERT_TRUE(Reaches(turned));

    // Prediction extrapolates the replayed turning of 1 rad/s.
    ASSERT_TRUE(_headset->SetSensorPredictionTime(0, 0.25f));
    EXPECT_NEAR(AngleBetween(Orientation(), Predicted()), 0.25, 1e-4);
    ASSERT_TRUE(_headset->ResetSensorOrientation(0));
    EXPECT_LT(AngleBetween(Orientation(), level), 1e-3) << "reset re-centres the replay";
}

struct UnplayableCase {
    const char* name;
    // Makes what TALMEX_REPLAY will name, next to the test's recording path;
    // gives it and the reason the plug-in must give.
    std::pair<std::string, std::string> (*make)(const std::string& path);
};

const UnplayableCase kUnplayable[] = {
    {"NotARecording",
     [](const std::string& path) {
         std::ofstream(path) << "some file that is not a recording";
         return std::make_pair(path, path + ": not a recording: no TLXR magic (at offset 0)");
     }},
    {"Directory",
     [](const std::string&) {
         return std::make_pair(testing::TempDir(), testing::TempDir() + " is not a regular file");
     }},
    {"EndlessDevice",
     [](const std::string&) {
         return std::make_pair(std::string("/dev/zero"),
                               std::string("/dev/zero is not a regular file"));
     }},
    {"FifoWithoutWriter",
     [](const std::string& path) {
         mkfifo(path.c_str(), 0600);
         return std::make_pair(path, path + " is not a regular file");
     }},
    {"Missing",
     [](const std::string& path) {
         return std::make_pair(path, "cannot open " + path + ": No such file or directory");
     }},
};

void PrintTo(const UnplayableCase& replay, std::ostream* out)
{
    *out << replay.name;
}

class UnplayableTest : public ReplayTest, public testing::WithParamInterface<UnplayableCase> {};

// Whatever TALMEX_REPLAY names, the plug-in neither throws, blocks nor reads
// without end: what cannot be replayed leaves the headset absent, with one
// line saying why.
TEST_P(UnplayableTest, LeavesTheHeadsetAbsentWithOneLineSayingWhy)
{
    const auto [path, reason] = GetParam().make(_path);
    setenv("TALMEX_REPLAY", path.c_str(), 1);
    testing::internal::CaptureStderr();
    Load();
    EXPECT_FALSE(_headset->Initialize());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "simulated headset: no replay, headset absent: " + reason + "\n");
    EXPECT_FALSE(_headset->IsHMDPresent());
    EXPECT_EQ(_headset->GetSensorCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Replays, UnplayableTest, testing::ValuesIn(kUnplayable),
                         [](const testing::TestParamInfo<UnplayableCase>& info) {
                             return info.param.name;
                         });

} // namespace
