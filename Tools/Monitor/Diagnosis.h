#pragma once

#include "Client/Client.h"
#include "Client/HeadsetState.h"

#include <string>
#include <vector>

namespace Talmex {
namespace Monitor {

// True when a report is what the agent sends without a plug-in: every flag
// clear, no sensor, and every value zero.
bool ShowsNoPlugin(const Client::HeadsetState& state);

// What the monitor has to say about the agent beside its values, or nothing:
// why no reports come, or why the reports it gets are empty. latest is null
// before the first report.
std::string NoteOf(const Client::Client& client, const Client::HeadsetState* latest);

// For the status line: how many lines the agent printed and the last one,
// shortened; nothing when it printed none.
std::string OutputNoteOf(const Client::AgentOutput& output);

// Every line kept, under a title that says who printed how many lines:
// "<who> 12 lines, the last 8:" and each line indented. None when nothing was
// printed.
std::vector<std::string> OutputLinesOf(const Client::AgentOutput& output, const std::string& who);

} // namespace Monitor
} // namespace Talmex
