#pragma once

#include "Client/Client.h"
#include "Client/HeadsetState.h"
#include "Monitor/Trace.h"

#include <optional>
#include <string>

namespace Talmex {
namespace Monitor {

// The smallest terminal the view fits.
constexpr int kViewColumns = 80;
constexpr int kViewRows = 24;

// Everything one frame of the live view shows.
struct View {
    // Null before the first report.
    const Client::HeadsetState* latest = nullptr;
    Client::Counters counters;
    std::string rate;    // the report rate in words
    std::string agent;   // which agent, and how it is reached
    std::string channel; // the client's status in words
    std::string note;    // why nothing tracks, when that is so
    std::string output;  // what the agent printed, when it printed anything
    std::string taps;    // what recording and bridge have done, if they run
    std::string trouble; // why the recording is in trouble, when it is
    std::optional<bool> magYawCorrectionWish;
    const Trace* traces = nullptr; // one per sensor
};

// Draws the view on the curses screen, cut to its size, and shows it. The
// colours must be set up (InitColors).
void DrawView(const View& view);

} // namespace Monitor
} // namespace Talmex
