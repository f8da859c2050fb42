#pragma once

#include "Common/IntrusivePtr.h"

namespace Talmex {
namespace Agent {

// A reference-counted record kept for the protocol's object model; the agent
// itself never creates one.
class Frame : public IntrusiveRefCount {};

} // namespace Agent
} // namespace Talmex
