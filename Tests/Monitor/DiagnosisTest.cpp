#include "Monitor/Diagnosis.h"

#include <functional>

#include <gtest/gtest.h>

namespace {

using Talmex::Client::AgentOutput;
using Talmex::Client::HeadsetState;
using Talmex::Monitor::OutputLinesOf;
using Talmex::Monitor::OutputNoteOf;
using Talmex::Monitor::ShowsNoPlugin;

TEST(DiagnosisTest, EmptyReportShowsNoPlugin)
{
    HeadsetState state;
    state.header.sessionToken = 0x1234;
    state.header.sequence = 7;
    EXPECT_TRUE(ShowsNoPlugin(state));
}

// Any one flag, count or value from a plug-in means there is one.
TEST(DiagnosisTest, AnyAnswerShowsAPlugin)
{
    const std::function<void(HeadsetState&)> answers[] = {
        [](HeadsetState& s) { s.display.hmdPresent = true; },
        [](HeadsetState& s) { s.display.message[2] = true; },
        [](HeadsetState& s) { s.display.resolution[1] = 800; },
        [](HeadsetState& s) { s.display.distortionCoefficients[3] = 0.5f; },
        [](HeadsetState& s) { s.display.latencyColor[2] = 1; },
        [](HeadsetState& s) { s.sensorCount = 1; },
        [](HeadsetState& s) { s.sensors[1].angularVelocityOrMagnetometerValid = true; },
        [](HeadsetState& s) { s.sensors[1].magnetometer[2] = 0.25f; },
        [](HeadsetState& s) { s.sensors[0].predictionTime = 0.03f; },
    };
    for (size_t i = 0; i < std::size(answers); ++i) {
        HeadsetState state;
        answers[i](state);
        EXPECT_FALSE(ShowsNoPlugin(state)) << "answer " << i;
    }
}

// The status line has room for the count and the start of the last line;
// the summary gives every line kept.
TEST(DiagnosisTest, WhatTheAgentPrintedIsShownShortened)
{
    AgentOutput output;
    EXPECT_EQ(OutputNoteOf(output), "");
    EXPECT_TRUE(OutputLinesOf(output, "the agent printed").empty());

    const std::string text = "one\n" + std::string(44, 'x') + "\xC3\xA9 and more\n";
    output.Add(text.data(), text.size());
    EXPECT_EQ(OutputNoteOf(output), "agent printed 2 lines, last: " + std::string(44, 'x') + "...");
    EXPECT_EQ(OutputLinesOf(output, "the agent printed"),
              (std::vector<std::string>{"the agent printed 2 lines:", "  one",
                                        "  " + std::string(44, 'x') + "\xC3\xA9 and more"}));
    for (size_t i = 0; i < AgentOutput::kKeptLines; ++i) {
        output.Add("again\n", 6);
    }
    EXPECT_EQ(OutputLinesOf(output, "it printed").front(), "it printed 10 lines, the last 8:");
}

} // namespace
