#include "Protocol/TypedBlock.h"

#include <algorithm>

namespace Talmex {
namespace Protocol {

// The arrays are moved with block copies, which is only right on a
// little-endian host; a big-endian port must swap each element.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "typed blocks are copied as whole runs; this host needs per-element swaps");

namespace {

constexpr size_t kReservedIntegers = 512;
constexpr size_t kReservedFloats = 512;
constexpr size_t kReservedBytes = 256;

void _Reserve(std::vector<uint32_t>& data32, std::vector<float>& dataF,
              std::vector<unsigned char>& data8)
{
    data32.reserve(kReservedIntegers);
    dataF.reserve(kReservedFloats);
    data8.reserve(kReservedBytes);
}

uint32_t _Capped(size_t count, uint32_t limit)
{
    return static_cast<uint32_t>(std::min<size_t>(count, limit));
}

} // namespace

BlockWriter::BlockWriter()
{
    _Reserve(_data32, _dataF, _data8);
}

void BlockWriter::Clear()
{
    _data32.clear();
    _dataF.clear();
    _data8.clear();
}

void BlockWriter::Emit(Stream& stream) const
{
    const BlockCounts counts = {_Capped(_data32.size(), kMaxBlockCounts.integers),
                                _Capped(_dataF.size(), kMaxBlockCounts.floats),
                                _Capped(_data8.size(), kMaxBlockCounts.bytes)};
    stream.Write32(PackCountWord(counts));
    stream.Write(_data32.data(), counts.integers * sizeof(uint32_t));
    stream.Write(_dataF.data(), counts.floats * sizeof(float));
    stream.Write(_data8.data(), counts.bytes);
}

BlockReader::BlockReader() : _index32(0), _indexF(0), _index8(0)
{
    _Reserve(_data32, _dataF, _data8);
}

bool BlockReader::Read(Stream& stream)
{
    const BlockCounts counts = UnpackCountWord(stream.Read32());
    _index32 = 0;
    _indexF = 0;
    _index8 = 0;
    _data32.resize(counts.integers);
    _dataF.resize(counts.floats);
    _data8.resize(counts.bytes);
    return stream.Read(_data32.data(), _data32.size() * sizeof(uint32_t)) &&
           stream.Read(_dataF.data(), _dataF.size() * sizeof(float)) &&
           stream.Read(_data8.data(), _data8.size());
}

} // namespace Protocol
} // namespace Talmex
