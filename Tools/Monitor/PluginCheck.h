#pragma once

#include <ostream>
#include <string>

namespace Talmex {
namespace Monitor {

// Exit statuses of the plug-in check.
enum class PluginCheckResult {
    kComplete = 0,
    // The agent would serve without a plug-in: every value it reports is zero.
    kNoPlugin = 1,
    // A plug-in loads but lacks entry points: their values read as zero.
    kMissingEntryPoints = 3,
};

// Looks for the headset plug-in where the agent at agentPath, started in the
// folder, would, in its order, loads it the way the agent does, and writes
// what it found to out: each place tried with the loader's own error, what
// the plug-in printed while loading, the file found and the entry points it
// lacks. The check moves this process into the folder.
PluginCheckResult CheckPlugin(const std::string& agentPath, const std::string& folder,
                              std::ostream& out);

} // namespace Monitor
} // namespace Talmex
