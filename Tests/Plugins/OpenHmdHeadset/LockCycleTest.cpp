// A host taking and letting go of the headset a hundred times: no thread and
// no descriptor stays behind (and, under AddressSanitizer, no memory).

#include "OpenHmdPluginTest.h"

#include <filesystem>

namespace {

using namespace TalmexTest;

struct CycleCase {
    const char* name;
    const char* device; // TALMEX_OPENHMD_DEVICE, null: not set
    bool isServed;
};

void PrintTo(const CycleCase& c, std::ostream* out)
{
    *out << c.name;
}

const CycleCase kCases[] = {
    {"NoDevice", nullptr, false},
    {"NullDevice", "null", true},
    {"FedExternalDevice", "external", true},
};

// Threads and open descriptors of this process.
std::pair<long, long> Counts()
{
    const auto entries = [](const char* folder) {
        const std::filesystem::directory_iterator listing(folder);
        return std::distance(begin(listing), end(listing));
    };
    return {entries("/proc/self/task"), entries("/proc/self/fd")};
}

class LockCycleTest : public OpenHmdPluginTest, public testing::WithParamInterface<CycleCase> {};

TEST_P(LockCycleTest, AHundredLocksLeaveNothingBehind)
{
    const CycleCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Load(c.device, {0, 0, 30 * kDegree}, 0.1));
    const auto cycle = [&] {
        EXPECT_EQ(_plugin->Initialize(), c.isServed);
        for (int i = 0; i < 3; ++i) {
            OVR_MessageList messages{};
            EXPECT_EQ(_plugin->Update(&messages), c.isServed);
        }
        EXPECT_EQ(_plugin->Destroy(), c.isServed);
    };
    // The first lock may set up what lasts as long as the process.
    cycle();
    const std::pair<long, long> before = Counts();
    for (int i = 0; i < 100; ++i) {
        cycle();
    }
    EXPECT_EQ(Counts(), before) << "threads, descriptors";
}

INSTANTIATE_TEST_SUITE_P(Devices, LockCycleTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CycleCase>& info) {
                             return info.param.name;
                         });

} // namespace
