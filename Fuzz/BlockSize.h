#pragma once

#include <cstddef>
#include <cstdint>

namespace TalmexFuzz {

// Bytes of the typed block that a count word declares, the count word
// included: 12 bits of integers, 12 of floats, 8 of bytes.
inline size_t DeclaredBlockSize(uint32_t countWord)
{
    return 4 + 4 * static_cast<size_t>(countWord & 0xFFF) +
           4 * static_cast<size_t>(countWord >> 12 & 0xFFF) + (countWord >> 24);
}

} // namespace TalmexFuzz
