#pragma once

#include <string>

namespace MonitorTest {

// True when the text is one well-formed JSON object and nothing else.
bool IsJsonObject(const std::string& text);

} // namespace MonitorTest
