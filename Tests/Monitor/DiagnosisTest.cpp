#include "Monitor/Diagnosis.h"

#include <functional>

#include <gtest/gtest.h>

namespace {

using Talmex::Client::AgentOutput;
using Talmex::Client::HeadsetState;
using Talmex::Monitor::OutputLinesOf;
using Talmex::Monitor::OutputNoteOf;
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
