#pragma once

// An entry point a plug-in may export beside the 32: its own account, over
// several lines, of what it sees, such as the devices it found and the one
// it would open. talmex-monitor --check prints it. The text belongs to the
// plug-in and stays valid until the next call or until the library is
// unloaded. The agent never calls it.

extern "C" const char* TalmexPlugin_Describe();

namespace Talmex {
namespace Plugin {

constexpr char kDescribeName[] = "TalmexPlugin_Describe";

} // namespace Plugin
} // namespace Talmex
