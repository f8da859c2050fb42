#pragma once

#include <cstdint>

namespace Talmex {
namespace Agent {

// A reference-counted record kept for the protocol's object model; the agent
// itself never creates one.
class Frame {
public:
    uint32_t _refCount = 0;
};

} // namespace Agent
} // namespace Talmex
