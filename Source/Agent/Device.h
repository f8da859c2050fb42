#pragma once

#include "Agent/Channel.h"
#include "Agent/Stream.h"
#include "Common/Platform/Assert.h"
#include "Common/Singleton.h"

#include <cstdint>
#include <vector>

namespace Talmex {
namespace Agent {

// Typed block: a count word (bits 0-11 integers, 12-23 floats, 24-31 bytes),
// then the integers, the floats and the bytes, all little-endian.
namespace TypedBlock {
constexpr uint32_t kMaxIntegers = 0xFFF;
constexpr uint32_t kMaxFloats = 0xFFF;
constexpr uint32_t kMaxBytes = 0xFF;
} // namespace TypedBlock

// Collects the values of one outgoing typed block.
class BinaryWriter {
public:
    BinaryWriter();

    void Clear();
    void Write32(uint32_t value) { _data32.push_back(value); }
    void Write8(unsigned char value) { _data8.push_back(value); }

    template <unsigned int SIZE_>
    void Write8(unsigned char (&values)[SIZE_], unsigned int count)
    {
        TALMEX_ASSERT(SIZE_ >= count);
        _data8.insert(_data8.end(), values, values + count);
    }

    template <unsigned int SIZE_>
    void WriteF(float (&values)[SIZE_], unsigned int count)
    {
        TALMEX_ASSERT(SIZE_ >= count);
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

// Decodes one incoming typed block and hands its values out in order, one
// cursor per array; values the sender did not supply read as zero.
class BinaryReader {
public:
    BinaryReader();

    // False when the block's declared arrays run past the end of the stream.
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

extern BinaryReader _binaryReader;
extern BinaryWriter _binaryWriter;

// The agent's only way to the headset: binds the plug-in, decides which
// channel holds the headset, turns requests into plug-in commands and plug-in
// answers into reports. Used by the channel thread only, between Initialize
// and Finalize.
class Device {
public:
    void Initialize();
    void Finalize();

    // Takes the headset; false when a channel holds it already.
    bool LockDevice();
    // Releases the headset if it is held.
    void UnlockDevice();

    // Checks the request at the stream's read position against the channel
    // and performs what its counters ask for; true when it was accepted.
    bool ReadFrom(Stream& stream, Channel& channel);
    // Appends a complete report for the channel to the stream.
    bool WriteTo(Stream& stream, Channel& channel);
};

} // namespace Agent

template <>
Agent::Device Singleton<Agent::Device>::_instance;

} // namespace Talmex
