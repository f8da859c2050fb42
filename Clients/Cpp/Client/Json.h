#pragma once

#include "Client/HeadsetState.h"

#include <string>

namespace Talmex {
namespace Client {

// The state as one line of JSON, with the names the Python package uses.
// Values that JSON cannot carry (NaN, infinities) are written as null.
std::string ToJson(const HeadsetState& state);

} // namespace Client
} // namespace Talmex
