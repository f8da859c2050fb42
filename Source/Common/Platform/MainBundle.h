#pragma once

#include <string>

namespace Talmex {
namespace Platform {

// The directory that holds the running executable, without a trailing
// separator; empty when it cannot be found.
std::string MainBundlePath();

} // namespace Platform
} // namespace Talmex
