#pragma once

#include "Client/Client.h"
#include "Monitor/Screen.h"
#include "Monitor/Taps.h"

#include <string>

namespace Talmex {
namespace Monitor {

// Shows the agent's reports on the screen, ten frames a second, and turns
// keys into wishes, until q, Ctrl-C, a stop signal or the end of the
// terminal; for the hub, takes each report as it arrives. agent says which
// agent is watched. Returns the exit status.
int RunLiveView(Client::Client& client, Screen& screen, const Taps& taps, const std::string& agent);

} // namespace Monitor
} // namespace Talmex
