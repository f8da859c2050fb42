#pragma once

#include <optional>
#include <string>

namespace TalmexBench {

// Per cent of one core that the terminal monitor at the path uses while it
// watches the agent, writing JSON to nowhere; nothing when it does not stay
// up for the whole time.
std::optional<double> MeasureMonitorProcessor(const std::string& path, double seconds);

} // namespace TalmexBench
