#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Talmex {
namespace Agent {

// The envelope of every datagram in both directions: the magic, then four
// little-endian words, then a typed block.
namespace Protocol {

constexpr unsigned char kMagic[4] = {'T', 'L', 'X', '0'};
constexpr size_t kHeaderSize = 20;
constexpr size_t kReportSize = 241;

inline bool HasMagic(const unsigned char* datagram, size_t size)
{
    return size >= sizeof kMagic && std::memcmp(datagram, kMagic, sizeof kMagic) == 0;
}

} // namespace Protocol
} // namespace Agent
} // namespace Talmex
