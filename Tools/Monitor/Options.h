#pragma once

#include "Client/Headsets.h"

#include <cstdint>
#include <string>

namespace Talmex {
namespace Monitor {

// What the command line asked for.
struct Options {
    bool help = false;
    bool check = false;
    bool json = false;
    // Empty: the agent beside the monitor's own executable.
    std::string agentPath;
    // Started in this headset's folder, where it looks for its plug-in first.
    std::string headset = Client::kSimulatedHeadset;
    // Empty: start the agent instead of attaching.
    std::string attachHost;
    uint16_t attachPort = 0;
    // Print every N-th report; 0 leaves the pace to the mode.
    uint64_t every = 0;
    // Stop after this many printed reports; 0 runs until stopped.
    uint64_t count = 0;
    // Record every report to this file; empty: no recording.
    std::string recordPath;
    // Send the head's pose to this hub; empty: none.
    std::string opentrackHost;
    uint16_t opentrackPort = 0;
};

// Where a head-tracking hub listens for poses unless told otherwise.
constexpr uint16_t kDefaultOpentrackPort = 4242;

// Exit status of a command line that could not be understood.
constexpr int kUsageError = 2;

// False, with the reason in error, when the arguments make no sense.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

const char* Usage();

// The agent the options name, or the one installed beside this executable.
std::string AgentPathOf(const Options& options);

} // namespace Monitor
} // namespace Talmex
