// A host taking and letting go of the headset a hundred times, the plug-in
// loaded as the agent loads it: no thread and no descriptor stays behind
// (and, under AddressSanitizer, no memory).

#include "Support/BoundPlugin.h"
#include "Support/MotionRecording.h"

#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using namespace TalmexTest;

size_t EntriesIn(const char* folder)
{
    const auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<size_t>(std::distance(begin(entries), end(entries)));
}

struct Counts {
    size_t threads = EntriesIn("/proc/self/task");
    size_t descriptors = EntriesIn("/proc/self/fd");
};

struct CycleCase {
    const char* name;
    const char* device; // TALMEX_OPENHMD_DEVICE, null: not set
    bool isServed;
};

const CycleCase kCases[] = {
    {"NoDevice", nullptr, false},
    {"NullDevice", "null", true},
    {"FedExternalDevice", "external", true},
};

void PrintTo(const CycleCase& c, std::ostream* out)
{
    *out << c.name;
}

class LockCycleTest : public testing::TestWithParam<CycleCase> {
protected:
    void TearDown() override
    {
        unsetenv("TALMEX_OPENHMD_DEVICE");
        unsetenv("TALMEX_REPLAY");
        unlink(_path.c_str());
    }

    std::string _path = testing::TempDir() + "talmex-cycles-" + std::to_string(getpid());
};

TEST_P(LockCycleTest, AHundredLocksLeaveNothingBehind)
{
    const CycleCase& c = GetParam();
    ASSERT_TRUE(WriteMotionRecording(_path, {0, 0, 30 * kDegree}, 0.1, 0.002));
    setenv("TALMEX_REPLAY", _path.c_str(), 1);
    if (c.device != nullptr) {
        setenv("TALMEX_OPENHMD_DEVICE", c.device, 1);
    }
    BoundPlugin plugin(TALMEX_OPENHMD_HEADSET);
    ASSERT_TRUE(plugin.IsComplete());
    const auto cycle = [&] {
        EXPECT_EQ(plugin.Initialize(), c.isServed);
        for (int i = 0; i < 3; ++i) {
            OVR_MessageList messages{};
            EXPECT_EQ(plugin.Update(&messages), c.isServed);
        }
        EXPECT_EQ(plugin.Destroy(), c.isServed);
    };
    // The first lock may set up what lasts as long as the process.
    cycle();
    const Counts before;
    for (int i = 0; i < 100; ++i) {
        cycle();
    }
    const Counts after;
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.descriptors, before.descriptors);
}

INSTANTIATE_TEST_SUITE_P(Devices, LockCycleTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CycleCase>& info) {
                             return info.param.name;
                         });

} // namespace
