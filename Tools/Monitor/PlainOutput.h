#pragma once

#include "Client/Client.h"
#include "Client/HeadsetState.h"
#include "Monitor/Options.h"
#include "Monitor/Taps.h"

#include <chrono>
#include <string>

namespace Talmex {
namespace Monitor {

// Without a report for this long, the lines end with exit status 1: an agent
// that died or hung may never answer again.
constexpr std::chrono::seconds kGiveUpTime{5};

// One report as one plain line: sequence, session, the client's rate, and
// for each sensor that answers its angles in degrees and its vectors.
std::string PlainLine(const Client::HeadsetState& state, const Client::Client& client);

// Prints the reports on standard output, as plain lines ten times a second or
// as JSON objects, one per report; --every thins them and --count ends the
// run. Notes about the agent go between plain lines, or to standard error
// beside JSON; the taps' counts end each plain line, and their trouble goes
// to standard error. For the hub, each report is taken as it arrives. Printed
// into a terminal, its keys act as in the live view. Returns the exit status.
int RunLines(Client::Client& client, const Taps& taps, const Options& options);

} // namespace Monitor
} // namespace Talmex
