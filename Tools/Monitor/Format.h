#pragma once

#include "Client/Client.h"

#include <string>

namespace Talmex {
namespace Monitor {

// printf into a string, for the monitor's short lines: cut at 511 bytes.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The report rate, "460.0/s", or "-" while the client has yet to count a whole
// second of the reports that arrive.
std::string RateOf(const Client::Client& client);

} // namespace Monitor
} // namespace Talmex
