#include "Monitor/Diagnosis.h"

#include "Plugin/Location.h"

#include <fstream>

namespace Talmex {
namespace Monitor {

namespace {

// Room for the last line on the status line, which shares it with a note.
constexpr size_t kShownLineLength = 48;

std::string _Lines(uint64_t count)
{
    return std::to_string(count) + (count == 1 ? " line" : " lines");
}

} // namespace

bool ShowsNoHeadset(const Client::HeadsetState& state)
{
    for (const Client::SensorState& sensor : state.sensors) {
        if (Protocol::SensorFlagsOf(sensor) != 0) {
            return false;
        }
    }
    return Protocol::DisplayFlagsOf(state.display) == 0;
}

PluginPresence PluginPresenceOf(pid_t pid)
{
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    if (!maps) {
        return PluginPresence::kUnknown;
    }
    const std::string library = std::string("/") + Plugin::kLibraryPath;
    for (std::string line; std::getline(maps, line);) {
        if (line.find(library) != std::string::npos) {
            return PluginPresence::kLoaded;
        }
    }
    return maps.eof() ? PluginPresence::kMissing : PluginPresence::kUnknown;
}

std::string Diagnosis::NoteOf(const Client::HeadsetState* latest)
{
    switch (_client.GetStatus()) {
    case Client::Status::kAgentExited:
    case Client::Status::kFailed:
        return _client.LastError();
    case Client::Status::kNotAnswering:
        return "agent not answering";
    default:
        break;
    }
    if (latest == nullptr || !ShowsNoHeadset(*latest)) {
        return std::string();
    }
    if (!_plugin) {
        // An agent attached to may run anywhere: only one started here is looked at.
        _plugin = _client.Agent().IsStarted() ? PluginPresenceOf(_client.Agent().Pid())
                                              : PluginPresence::kUnknown;
    }
    switch (*_plugin) {
    case PluginPresence::kLoaded:
        return "plug-in loaded, no headset present";
    case PluginPresence::kMissing:
        return "no headset plug-in: all values are zero";
    default:
        return "no headset: no plug-in, or it finds none";
    }
}

std::string OutputNoteOf(const Client::AgentOutput& output)
{
    if (output.Lines().empty()) {
        return std::string();
    }
    std::string last = output.Lines().back();
    if (last.size() > kShownLineLength) {
        // Cut before a character, never inside one.
        size_t end = kShownLineLength - 3;
        while (end > 0 && (static_cast<unsigned char>(last[end]) & 0xC0) == 0x80) {
            --end;
        }
        last = last.substr(0, end) + "...";
    }
    return "agent printed " + _Lines(output.LineCount()) + ", last: " + last;
}

std::vector<std::string> OutputLinesOf(const Client::AgentOutput& output, const std::string& who)
{
    std::vector<std::string> lines;
    if (output.Lines().empty()) {
        return lines;
    }
    const uint64_t count = output.LineCount();
    lines.push_back(who + " " + _Lines(count) +
                    (count > output.Lines().size()
                         ? ", the last " + std::to_string(output.Lines().size()) + ":"
                         : ":"));
    for (const std::string& line : output.Lines()) {
        lines.push_back("  " + line);
    }
    return lines;
}

} // namespace Monitor
} // namespace Talmex
