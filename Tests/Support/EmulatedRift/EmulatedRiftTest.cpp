// OpenHMD's own driver of the first development kit, run on the emulated
// headset: it finds the device, decodes its display, follows its motion and
// sees it unplugged and back. Runs with the emulation preloaded, each test in
// a process of its own as CTest runs them: the unplug happens once a process.

#include "EmulatedRift.h"
#include "EmulatedRiftMotion.h"
#include "EmulatedRiftMotions.h"
#include "EmulatedRiftSettings.h"
#include "OpenHmdRift.h"
#include "RiftReports.h"
#include "Support/Elapsed.h"

#include <hidapi.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

using namespace TalmexTest;
using std::chrono::milliseconds;

class EmulatedRiftTest : public testing::Test {
protected:
    void SetUp() override
    {
        _sensorTime = FindEmulatedRiftSensorTime();
        ASSERT_NE(_sensorTime, nullptr) << "run with LD_PRELOAD naming libtalmex_emulated_rift.so";
        _context = ohmd_ctx_create();
        ASSERT_NE(_context, nullptr);
    }

    void TearDown() override
    {
        if (_context != nullptr) {
            ohmd_ctx_destroy(_context);
        }
    }

    ohmd_context* _context = nullptr;
    SensorTimeFunction _sensorTime = nullptr;
};

float Getf(ohmd_device* device, ohmd_float_value name)
{
    float value = NAN;
    EXPECT_EQ(ohmd_device_getf(device, name, &value), 0) << name;
    return value;
}

TEST_F(EmulatedRiftTest, DriverListsTheDeviceAndDecodesItsDisplay)
{
    const int index = ProbeEmulatedRift(_context);
    ASSERT_GE(index, 0);
    EXPECT_STREQ(ohmd_list_gets(_context, index, OHMD_PATH), kEmulatedRiftPath);
    ohmd_device* device = OpenEmulatedRift(_context);
    ASSERT_NE(device, nullptr) << ohmd_ctx_get_error(_context);
    const Rift::DisplayInfo& display = Rift::kDisplay;
    int resolution[2] = {};
    ohmd_device_geti(device, OHMD_SCREEN_HORIZONTAL_RESOLUTION, &resolution[0]);
    ohmd_device_geti(device, OHMD_SCREEN_VERTICAL_RESOLUTION, &resolution[1]);
    EXPECT_EQ(resolution[0], display.horizontalResolution);
    EXPECT_EQ(resolution[1], display.verticalResolution);
    EXPECT_FLOAT_EQ(Getf(device, OHMD_SCREEN_HORIZONTAL_SIZE), display.horizontalSize);
    EXPECT_FLOAT_EQ(Getf(device, OHMD_SCREEN_VERTICAL_SIZE), display.verticalSize);
    EXPECT_FLOAT_EQ(Getf(device, OHMD_LENS_HORIZONTAL_SEPARATION), display.lensSeparation);
    EXPECT_FLOAT_EQ(Getf(device, OHMD_LENS_VERTICAL_POSITION), display.verticalCenter);
    // The eye's distance to the screen reaches the caller only in the field
    // of view, which the driver derives from it.
    EXPECT_NEAR(Getf(device, OHMD_LEFT_EYE_FOV),
                2 * std::atan2((display.horizontalSize - display.lensSeparation) / 2,
                               display.eyeToScreenDistance[0]),
                1e-5);
    // OpenHMD 0.3.0 reads one byte of each coefficient, its first, where
    // later versions read the whole float.
    float distortion[6] = {};
    ASSERT_EQ(ohmd_device_getf(device, OHMD_DISTORTION_K, distortion), 0);
    for (int i = 0; i < 6; ++i) {
        unsigned char firstByte = 0;
        std::memcpy(&firstByte, &display.distortion[i], 1);
        EXPECT_TRUE(distortion[i] == display.distortion[i] || distortion[i] == firstByte)
            << i << ": " << distortion[i];
    }
}

class EmulatedRiftMotionTest : public EmulatedRiftTest,
                               public testing::WithParamInterface<MotionControls> {};

TEST_P(EmulatedRiftMotionTest, DriverFollowsTheMotion)
{
    GetParam().Set();
    std::string refusals;
    const EmulatedRiftMotion motion = ReadEmulatedRiftSettings(std::getenv, &refusals).motion;
    ASSERT_EQ(refusals, "");
    ohmd_device* device = OpenEmulatedRift(_context);
    ASSERT_NE(device, nullptr) << ohmd_ctx_get_error(_context);

    const Clock::time_point start = Clock::now();
    double largest = 0;
    int ticks = 0;
    for (; ticks < 1000 && MillisecondsSince(start) < 2000; ++ticks) {
        std::this_thread::sleep_for(milliseconds(5));
        ohmd_ctx_update(_context);
        const double t = _sensorTime();
        largest =
            std::max(largest, AngleBetween(OpenHmdOrientation(device), motion.OrientationAt(t)));
    }
    EXPECT_GT(_sensorTime(), 1.9);
    EXPECT_GT(ticks, 20);
    EXPECT_LT(largest / kRadiansPerDegree, 0.005);
}

INSTANTIATE_TEST_SUITE_P(Motions, EmulatedRiftMotionTest, testing::ValuesIn(kTestMotions),
                         [](const testing::TestParamInfo<MotionControls>& info) {
                             return info.param.name;
                         });

TEST_F(EmulatedRiftTest, UnpluggedDeviceFailsReadsAndLeavesTheListUntilReplugged)
{
    setenv("TALMEX_EMULATED_RIFT_UNPLUG_AT", "0.5", 1);
    setenv("TALMEX_EMULATED_RIFT_REPLUG_AT", "1.5", 1);
    // The process's first open: the times count from it.
    hid_device* handle = hid_open_path(kEmulatedRiftPath);
    ASSERT_NE(handle, nullptr);
    const Clock::time_point opened = Clock::now();
    unsigned char report[64];
    EXPECT_GE(hid_read(handle, report, sizeof report), 0);
    ASSERT_GE(ProbeEmulatedRift(_context), 0);

    std::this_thread::sleep_until(opened + milliseconds(600));
    EXPECT_EQ(hid_read(handle, report, sizeof report), -1);
    EXPECT_EQ(ProbeEmulatedRift(_context), -1);
    EXPECT_EQ(OpenEmulatedRift(_context), nullptr);

    std::this_thread::sleep_until(opened + milliseconds(1600));
    ohmd_device* device = OpenEmulatedRift(_context);
    ASSERT_NE(device, nullptr) << ohmd_ctx_get_error(_context);
    std::this_thread::sleep_for(milliseconds(20));
    ohmd_ctx_update(_context);
    EXPECT_GT(_sensorTime(), 0.01);
    // The handle opened before the cable was pulled stays dead.
    EXPECT_EQ(hid_read(handle, report, sizeof report), -1);
    hid_close(handle);
}

// The variables set, and the settings expected from them with the number of
// values refused.
struct SettingsCase {
    std::map<std::string, std::string> variables;
    double yawRate; // degrees per second
    double pitchAmplitude;
    double pitchPeriod;
    double unplugAt;
    double replugAt;
    size_t refused;
};

constexpr double kNever = EmulatedRiftSettings::kNever;

const SettingsCase kSettingsCases[] = {
    {{}, 30, 0, 4, kNever, kNever, 0},
    {{{"TALMEX_EMULATED_RIFT_YAW_RATE", "-1000"},
      {"TALMEX_EMULATED_RIFT_PITCH_AMPLITUDE", "12.5"},
      {"TALMEX_EMULATED_RIFT_PITCH_PERIOD", "0.1"},
      {"TALMEX_EMULATED_RIFT_UNPLUG_AT", "0"},
      {"TALMEX_EMULATED_RIFT_REPLUG_AT", "2.5"}},
     -1000,
     12.5,
     0.1,
     0,
     2.5,
     0},
    {{{"TALMEX_EMULATED_RIFT_YAW_RATE", "abc"},
      {"TALMEX_EMULATED_RIFT_PITCH_AMPLITUDE", "80.01"},
      {"TALMEX_EMULATED_RIFT_PITCH_PERIOD", "0"},
      {"TALMEX_EMULATED_RIFT_UNPLUG_AT", "-1"}},
     30,
     0,
     4,
     kNever,
     kNever,
     4},
    {{{"TALMEX_EMULATED_RIFT_YAW_RATE", "30 "},
      {"TALMEX_EMULATED_RIFT_PITCH_AMPLITUDE", "nan"},
      {"TALMEX_EMULATED_RIFT_PITCH_PERIOD", "1e999"},
      {"TALMEX_EMULATED_RIFT_UNPLUG_AT", ""},
      {"TALMEX_EMULATED_RIFT_REPLUG_AT", "2"}},
     30,
     0,
     4,
     kNever,
     kNever,
     5},
    {{{"TALMEX_EMULATED_RIFT_UNPLUG_AT", "2"}, {"TALMEX_EMULATED_RIFT_REPLUG_AT", "2"}},
     30,
     0,
     4,
     2,
     kNever,
     1},
};

TEST(EmulatedRiftSettingsTest, ReadsValuesAndRefusesMalformedOnes)
{
    for (const SettingsCase& expected : kSettingsCases) {
        const auto lookup = [&](const char* name) -> const char* {
            const auto found = expected.variables.find(name);
            return found == expected.variables.end() ? nullptr : found->second.c_str();
        };
        std::string refusals;
        const EmulatedRiftSettings settings = ReadEmulatedRiftSettings(lookup, &refusals);
        SCOPED_TRACE(refusals);
        EXPECT_DOUBLE_EQ(settings.motion.yawRate, expected.yawRate * kRadiansPerDegree);
        EXPECT_DOUBLE_EQ(settings.motion.pitchAmplitude,
                         expected.pitchAmplitude * kRadiansPerDegree);
        EXPECT_DOUBLE_EQ(settings.motion.pitchPeriod, expected.pitchPeriod);
        EXPECT_EQ(settings.unplugAt, expected.unplugAt);
        EXPECT_EQ(settings.replugAt, expected.replugAt);
        EXPECT_EQ(static_cast<size_t>(std::count(refusals.begin(), refusals.end(), '\n')),
                  expected.refused);
    }
}

} // namespace
