#include "Monitor/Diagnosis.h"

#include "Plugin/Location.h"

#include <fstream>

namespace Talmex {
namespace Monitor {

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

} // namespace Monitor
} // namespace Talmex
