// Which device the plug-in opens, on made-up probes: no hardware needed.

#include "DeviceChoice.h"

#include <openhmd.h>

#include <gtest/gtest.h>

namespace {

using OpenHmdHeadset::ChooseDevice;
using OpenHmdHeadset::ProbeEntry;

constexpr int kHmd = OHMD_DEVICE_CLASS_HMD;
constexpr int kController = OHMD_DEVICE_CLASS_CONTROLLER;
constexpr int kRotational = OHMD_DEVICE_FLAGS_ROTATIONAL_TRACKING;
constexpr int kNullFlags = OHMD_DEVICE_FLAGS_NULL_DEVICE | kRotational;

// As OpenHMD 0.3.0 lists its stand-ins, after any hardware.
const ProbeEntry kExternal = {"OpenHMD", "External Device", "(none)", kHmd,
                              kRotational | OHMD_DEVICE_FLAGS_POSITIONAL_TRACKING};
const ProbeEntry kNull = {"OpenHMD", "HMD Null Device", "(none)", kHmd, kNullFlags};
const ProbeEntry kNullController = {"OpenHMD", "Left Controller Null Device", "(none)", kController,
                                    kNullFlags};
const ProbeEntry kRift = {"Oculus VR, Inc.", "Rift (DK1)", "1-2:1.0", kHmd, kRotational};
const ProbeEntry kVive = {"HTC/Valve", "HTC Vive", "1-3:1.0", kHmd, kRotational};
const ProbeEntry kTracker = {"LYRobotix", "NOLO CV1 (Production)", "1-4:1.0",
                             OHMD_DEVICE_CLASS_GENERIC_TRACKER, kRotational};

const std::vector<ProbeEntry> kStandIns = {kExternal, kNull, kNullController};
const std::vector<ProbeEntry> kWithHardware = {kTracker,  kRift, kVive,
                                               kExternal, kNull, kNullController};

struct ChoiceCase {
    const char* name;
    const std::vector<ProbeEntry>* probe;
    const char* setting; // null: not set
    std::vector<int> candidates;
};

const ChoiceCase kCases[] = {
    {"NoHardwareByDefault", &kStandIns, nullptr, {}},
    {"HeadsetsByDefaultTrackerSkipped", &kWithHardware, nullptr, {1, 2}},
    {"Null", &kWithHardware, "null", {4}},
    {"NullInCapitals", &kStandIns, "NULL", {1}},
    {"External", &kWithHardware, "external", {3}},
    {"Index", &kWithHardware, "2", {2}},
    {"IndexOfAController", &kStandIns, "2", {2}},
    {"IndexWithLeadingZeros", &kStandIns, "0001", {1}},
    {"IndexOutOfRange", &kStandIns, "3", {}},
    {"HugeIndex", &kStandIns, "99999999999999999999", {}},
    {"NegativeIndex", &kStandIns, "-1", {}},
    {"SignedIndex", &kStandIns, "+1", {}},
    {"NameInAnyCase", &kWithHardware, "vive", {2}},
    {"NameOfNoDevice", &kWithHardware, "Index", {}},
    {"Empty", &kWithHardware, "", {}},
    {"NotAscii", &kWithHardware, "Rift \xc3\xa9", {}},
    {"ControlCharacter", &kWithHardware, "Rift\n", {}},
    {"TooLong",
     &kWithHardware,
     "Riiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiift",
     {}},
};

void PrintTo(const ChoiceCase& c, std::ostream* out)
{
    *out << c.name;
}

class DeviceChoiceTest : public testing::TestWithParam<ChoiceCase> {};

TEST_P(DeviceChoiceTest, ChoosesTheDevicesToTryInOrder)
{
    const ChoiceCase& c = GetParam();
    const OpenHmdHeadset::DeviceChoice choice = ChooseDevice(*c.probe, c.setting);
    EXPECT_EQ(choice.candidates, c.candidates) << choice.reason;
    EXPECT_FALSE(choice.reason.empty());
}

INSTANTIATE_TEST_SUITE_P(Probes, DeviceChoiceTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ChoiceCase>& info) {
                             return info.param.name;
                         });

} // namespace
