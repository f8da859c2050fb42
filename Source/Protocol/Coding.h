#pragma once

#include <cstdint>
#include <cstring>

// Little-endian encoding of the wire's words, byte by byte so that it holds on
// any host; compilers turn each into a single load or store.
namespace Talmex {
namespace Protocol {

inline uint16_t DecodeFixed16(const unsigned char* bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

inline void EncodeFixed16(unsigned char* bytes, uint16_t value)
{
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
}

inline uint32_t DecodeFixed32(const unsigned char* bytes)
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline void EncodeFixed32(unsigned char* bytes, uint32_t value)
{
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value >> 16);
    bytes[3] = static_cast<unsigned char>(value >> 24);
}

inline float DecodeFloat(const unsigned char* bytes)
{
    const uint32_t bits = DecodeFixed32(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void EncodeFloat(unsigned char* bytes, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    EncodeFixed32(bytes, bits);
}

} // namespace Protocol
} // namespace Talmex
