#pragma once

#include <string>

namespace Talmex {
namespace Client {

// The agent looks for its headset plug-in below its working directory first,
// then beside itself, where the simulated headset is installed. Other
// headsets live in folders of their own, <agent's folder>/headsets/NAME, and
// the agent started in one of them serves that headset.
constexpr char kSimulatedHeadset[] = "simulated";

// The folder of the agent's executable with links resolved, as the agent
// itself sees it; the path's own folder when it cannot be resolved.
std::string AgentFolder(const std::string& agentPath);

// The folder to start the agent in for the headset: the agent's own folder
// for kSimulatedHeadset, else its headsets/NAME folder. False, with the
// reason and the headsets there are in error, for a name that is not one
// plain folder name (letters, digits, '.', '_', '-', not starting with '.')
// or names no folder.
bool HeadsetFolder(const std::string& agentPath, const std::string& headset, std::string& folder,
                   std::string& error);

} // namespace Client
} // namespace Talmex
