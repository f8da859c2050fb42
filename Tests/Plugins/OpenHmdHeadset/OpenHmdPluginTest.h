#pragma once

#include "Support/BoundPlugin.h"
#include "Support/MotionRecording.h"
#include "TestPaths.h"

#include <cstdlib>
#include <optional>
#include <unistd.h>

#include <gtest/gtest.h>

namespace TalmexTest {

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

    std::string _path = testing::TempDir() + "talmex-motion-" + std::to_string(getpid());
    std::optional<BoundPlugin> _plugin;
};

} // namespace TalmexTest
