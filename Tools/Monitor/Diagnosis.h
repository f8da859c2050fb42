#pragma once

#include "Client/Client.h"
#include "Client/HeadsetState.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace Talmex {
namespace Monitor {

// True when a report holds no answer from a headset: every flag clear, as
// an agent without a plug-in sends it, or one whose plug-in finds no headset.
bool ShowsNoHeadset(const Client::HeadsetState& state);

enum class PluginPresence { kLoaded, kMissing, kUnknown };

// Whether the process has a headset plug-in loaded, read from the files
// mapped into it; kUnknown when that cannot be read.
PluginPresence PluginPresenceOf(pid_t pid);

// What the monitor has to say about the agent beside its values, or nothing:
// why no reports come, or why the reports it gets hold no headset.
class Diagnosis {
public:
    explicit Diagnosis(const Client::Client& client) : _client(client) {}

    // latest is null before the first report.
    std::string NoteOf(const Client::HeadsetState* latest);

private:
    const Client::Client& _client;
    // Looked up once, at the first report without a headset: the agent loads
    // its plug-in before it sends anything, and keeps it to the end.
    std::optional<PluginPresence> _plugin;
};

// For the status line: how many lines the agent printed and the last one,
// shortened; nothing when it printed none.
std::string OutputNoteOf(const Client::AgentOutput& output);

// Every line kept, under a title that says who printed how many lines:
// "<who> 12 lines, the last 8:" and each line indented. None when nothing was
// printed.
std::vector<std::string> OutputLinesOf(const Client::AgentOutput& output, const std::string& who);

} // namespace Monitor
} // namespace Talmex
