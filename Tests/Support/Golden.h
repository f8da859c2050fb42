#pragma once

#include "Support/ProtocolBytes.h"

#include <string>
#include <vector>

namespace TalmexTest {

// A file of Tests/Protocol/Golden as text, and a .hex file there as bytes.
std::string GoldenText(const std::string& name);
Bytes GoldenBytes(const std::string& name);
// The cases of a .txt table there: each line that is neither empty nor a
// comment, split into its fields at " | ".
std::vector<std::vector<std::string>> GoldenTable(const std::string& name);

} // namespace TalmexTest
