#pragma once

#include "Protocol/Stream.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The payload of every datagram: a count word (bits 0-11 integers, 12-23
// floats, 24-31 bytes), then the 32-bit integers, the 32-bit floats and the
// bytes, all little-endian, without padding.
namespace Talmex {
namespace Protocol {

struct BlockCounts {
    uint32_t integers;
    uint32_t floats;
    uint32_t bytes;
};

constexpr BlockCounts kMaxBlockCounts = {0xFFF, 0xFFF, 0xFF};

constexpr uint32_t PackCountWord(BlockCounts counts)
{
    return counts.integers | counts.floats << 12 | counts.bytes << 24;
}

constexpr BlockCounts UnpackCountWord(uint32_t word)
{
    return {word & kMaxBlockCounts.integers, word >> 12 & kMaxBlockCounts.floats, word >> 24};
}

constexpr size_t BlockSize(BlockCounts counts)
{
    return 4 + 4 * static_cast<size_t>(counts.integers) + 4 * static_cast<size_t>(counts.floats) +
           counts.bytes;
}

// Collects the values of one outgoing block. Owned and reused by its caller:
// its arrays are reserved once, so steady encoding allocates nothing.
class BlockWriter {
public:
    BlockWriter();

    void Clear();
    void Write32(uint32_t value) { _data32.push_back(value); }
    void Write8(unsigned char value) { _data8.push_back(value); }
    void Write8(const unsigned char* values, size_t count)
    {
        _data8.insert(_data8.end(), values, values + count);
    }
    void WriteF(const float* values, size_t count)
    {
        _dataF.insert(_dataF.end(), values, values + count);
    }

    // Appends the block to the stream, each array capped at what the count
    // word can describe.
    void Emit(Stream& stream) const;

private:
    std::vector<uint32_t> _data32;
    std::vector<float> _dataF;
    std::vector<unsigned char> _data8;
};

// Decodes one incoming block and hands its values out in order, one cursor
// per array; values the sender did not supply read as zero. Owned and reused
// by its caller, like the writer.
class BlockReader {
public:
    BlockReader();

    // Decodes the block at the stream's read position: false when its
    // declared arrays run past the end of the stream. A stream already at its
    // end holds an empty block.
    bool Read(Stream& stream);

    uint32_t Read32() { return _Next(_data32, _index32); }
    float ReadF() { return _Next(_dataF, _indexF); }
    unsigned char Read8() { return _Next(_data8, _index8); }

private:
    template <class T>
    static T _Next(const std::vector<T>& values, uint32_t& index)
    {
        return index < values.size() ? values[index++] : T();
    }

    std::vector<uint32_t> _data32;
    std::vector<float> _dataF;
    std::vector<unsigned char> _data8;
    uint32_t _index32;
    uint32_t _indexF;
    uint32_t _index8;
};

} // namespace Protocol
} // namespace Talmex
