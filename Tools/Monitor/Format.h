#pragma once

#include <string>

namespace Talmex {
namespace Monitor {

// printf into a string, for the monitor's short lines: cut at 511 bytes.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace Monitor
} // namespace Talmex
