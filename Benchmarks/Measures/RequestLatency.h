#pragma once

#include <optional>
#include <vector>

namespace TalmexBench {

// Milliseconds from the sending of each request to the plug-in call that it
// causes, measured with the scripted test plug-in, which notes the time of
// every command; nothing when the plug-in did not note them all.
std::optional<std::vector<double>> MeasureRequestToPlugin(int requests);

} // namespace TalmexBench
