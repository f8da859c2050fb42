#pragma once

#include <string>

namespace Talmex {

// The directory of the running program, without a trailing separator; empty
// when the platform cannot tell.
std::string GetModulePath();

} // namespace Talmex
