#pragma once

#include "Protocol/Report.h"
#include "Support/BoundPlugin.h"
#include "Support/MotionRecording.h"
#include "TestPaths.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

#include <gtest/gtest.h>

namespace TalmexTest {

// The display flags of every report with an OpenHMD headset served but the
// first: all but the player's eye height, portrait mode and the latency
// tester, which OpenHMD 0.3.0 does not know.
constexpr uint32_t kOpenHmdDisplayFlags = [] {
    using namespace Talmex::Protocol::DisplayFlag;
    return kHmdPresent | kResolutionValid | kScreenSizeValid | kEyeToScreenDistanceValid |
           kInterpupillaryDistanceValid | kLensSeparationDistanceValid | kEyeOffsetValid |
           kScreenVCenterValid | kDistortionCoefficientsValid;
}();

// The OpenHMD headset loaded as the agent loads it, the device chosen by
// name (null: by default), and a recording of a motion at hand for the
// External device, a report every 2 ms as the agent samples its plug-in.
class OpenHmdPluginTest : public testing::Test {
protected:
    static constexpr double kFeedPeriod = 0.002;

    void TearDown() override
    {
        if (_plugin && _plugin->IsComplete()) {
            _plugin->Destroy();
        }
        _plugin.reset();
        unsetenv("TALMEX_OPENHMD_DEVICE");
        unsetenv("TALMEX_REPLAY");
        unlink(_path.c_str());
    }

    void Load(const char* device, const PitchThenYaw& motion, double seconds)
    {
        ASSERT_TRUE(WriteMotionRecording(_path, motion, seconds, kFeedPeriod));
        setenv("TALMEX_REPLAY", _path.c_str(), 1);
        if (device != nullptr) {
            setenv("TALMEX_OPENHMD_DEVICE", device, 1);
        }
        _plugin.emplace(TALMEX_OPENHMD_HEADSET);
        ASSERT_TRUE(_plugin->IsComplete());
    }

    // A host taking and letting go of the headset a hundred times: no thread
    // and no descriptor stays behind (and, under AddressSanitizer, no memory).
    void LockAHundredTimes(bool isServed)
    {
        const auto cycle = [&] {
            EXPECT_EQ(_plugin->Initialize(), isServed);
            for (int i = 0; i < 3; ++i) {
                OVR_MessageList messages{};
                EXPECT_EQ(_plugin->Update(&messages), isServed);
            }
            EXPECT_EQ(_plugin->Destroy(), isServed);
        };
        // The first lock may set up what lasts as long as the process.
        cycle();
        const std::pair<long, long> before = _ThreadsAndDescriptors();
        for (int i = 0; i < 100; ++i) {
            cycle();
        }
        EXPECT_EQ(_ThreadsAndDescriptors(), before) << "threads, descriptors";
    }

    std::string _path = testing::TempDir() + "talmex-motion-" + std::to_string(getpid());
    std::optional<BoundPlugin> _plugin;

private:
    static std::pair<long, long> _ThreadsAndDescriptors()
    {
        const auto entries = [](const char* folder) {
            const std::filesystem::directory_iterator listing(folder);
            return std::distance(begin(listing), end(listing));
        };
        return {entries("/proc/self/task"), entries("/proc/self/fd")};
    }
};

} // namespace TalmexTest
