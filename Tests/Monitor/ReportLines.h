#pragma once

#include <optional>
#include <string>
#include <vector>

namespace MonitorTest {

// The lines of the monitor's output.
std::vector<std::string> Lines(const std::string& text);

// A report's sequence as a --json line gives it; 0 when the line has none.
unsigned long SequenceOf(const std::string& json);

// Sensor 0's orientation (w, x, y, z) as a --json line gives it.
std::optional<std::vector<float>> OrientationOf(const std::string& json);

} // namespace MonitorTest
