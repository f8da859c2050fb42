// A hundred locks and releases with no device, and with each of OpenHMD's
// stand-ins.

#include "OpenHmdPluginTest.h"

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

class LockCycleTest : public OpenHmdPluginTest, public testing::WithParamInterface<CycleCase> {};

TEST_P(LockCycleTest, AHundredLocksLeaveNothingBehind)
{
    const CycleCase& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(Load(c.device, {0, 0, 30 * kDegree}, 0.1));
    LockAHundredTimes(c.isServed);
}

INSTANTIATE_TEST_SUITE_P(Devices, LockCycleTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CycleCase>& info) {
                             return info.param.name;
                         });

} // namespace
