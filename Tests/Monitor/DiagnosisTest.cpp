#include "Monitor/Diagnosis.h"

#include <functional>

#include <gtest/gtest.h>

namespace {

using Talmex::Client::HeadsetState;
using Talmex::Monitor::ShowsNoHeadset;

// Values without a flag answer nothing: a plug-in that finds no headset may
// leave some behind.
TEST(DiagnosisTest, ReportWithoutFlagsShowsNoHeadset)
{
    HeadsetState state;
    state.header.sessionToken = 0x1234;
    state.header.sequence = 7;
    state.display.resolution[1] = 800;
    state.sensors[0].predictionTime = 0.03f;
    EXPECT_TRUE(ShowsNoHeadset(state));
}

TEST(DiagnosisTest, AnyFlagShowsAHeadset)
{
    const std::function<void(HeadsetState&)> answers[] = {
        [](HeadsetState& s) { s.display.hmdPresent = true; },
        [](HeadsetState& s) { s.display.message[2] = true; },
        [](HeadsetState& s) { s.display.latencyColorValid = true; },
        [](HeadsetState& s) { s.sensors[0].present = true; },
        [](HeadsetState& s) { s.sensors[1].angularVelocityOrMagnetometerValid = true; },
    };
    for (size_t i = 0; i < std::size(answers); ++i) {
        HeadsetState state;
        answers[i](state);
        EXPECT_FALSE(ShowsNoHeadset(state)) << "answer " << i;
    }
}

} // namespace
