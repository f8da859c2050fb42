#pragma once

#include "Support/ProtocolBytes.h"

#include <string>

namespace TalmexTest {

// A file of Tests/Protocol/Golden as text, and a .hex file there as bytes.
std::string GoldenText(const std::string& name);
Bytes GoldenBytes(const std::string& name);

} // namespace TalmexTest
