#pragma once

#include "Client/Client.h"
#include "Client/HeadsetState.h"

#include <string>

namespace Talmex {
namespace Monitor {

// True when a report is what the agent sends without a plug-in: every flag
// clear, no sensor, and every value zero.
bool ShowsNoPlugin(const Client::HeadsetState& state);

// What the monitor has to say about the agent beside its values, or nothing:
// why no reports come, or why the reports it gets are empty. latest is null
// before the first report.
std::string NoteOf(const Client::Client& client, const Client::HeadsetState* latest);

} // namespace Monitor
} // namespace Talmex
