#pragma once

#include <string>

namespace Talmex {
namespace Platform {

// A new random (version 4) UUID as 36 characters of upper-case 8-4-4-4-12
// text; empty when the system has no randomness to give.
std::string CreateUuidString();

} // namespace Platform
} // namespace Talmex
