#pragma once

#include <string>

namespace Talmex {
namespace Platform {

// The user's temporary directory: $TMPDIR when set and not empty, else /tmp/,
// always ending in a separator.
std::string TemporaryDirectory();

} // namespace Platform
} // namespace Talmex
