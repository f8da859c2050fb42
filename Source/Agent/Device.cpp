#include "Agent/Device.h"

#include "Agent/Manager.h"
#include "Agent/Network.h"

#include <algorithm>

namespace Talmex {

// Every process-wide object of the agent is defined here, in this order:
// C++ constructs them in definition order within one translation unit and
// destroys them in reverse, which is the start and stop order the agent needs.
template <>
Agent::Manager Singleton<Agent::Manager>::_instance{};
template <>
Agent::Device Singleton<Agent::Device>::_instance{};
template <>
Agent::Network Singleton<Agent::Network>::_instance{};

namespace Agent {

BinaryReader _binaryReader;
BinaryWriter _binaryWriter;

namespace {
constexpr size_t kReservedIntegers = 512;
constexpr size_t kReservedFloats = 512;
constexpr size_t kReservedBytes = 256;

// Reserved once, so that decoding and encoding do not allocate in the steady state.
void _Reserve(std::vector<uint32_t>& data32, std::vector<float>& dataF,
              std::vector<unsigned char>& data8)
{
    data32.reserve(kReservedIntegers);
    dataF.reserve(kReservedFloats);
    data8.reserve(kReservedBytes);
}
} // namespace

BinaryWriter::BinaryWriter()
{
    _Reserve(_data32, _dataF, _data8);
}

void BinaryWriter::Clear()
{
    _data32.clear();
    _dataF.clear();
    _data8.clear();
}

void BinaryWriter::Emit(Stream& stream) const
{
    const auto count32 = static_cast<uint32_t>(std::min<size_t>(_data32.size(), TypedBlock::kMaxIntegers));
    const auto countF = static_cast<uint32_t>(std::min<size_t>(_dataF.size(), TypedBlock::kMaxFloats));
    const auto count8 = static_cast<uint32_t>(std::min<size_t>(_data8.size(), TypedBlock::kMaxBytes));
    stream.Write32(count32 | countF << 12 | count8 << 24);
    stream.Write(_data32.data(), count32 * sizeof(uint32_t));
    stream.Write(_dataF.data(), countF * sizeof(float));
    stream.Write(_data8.data(), count8);
}

BinaryReader::BinaryReader() : _index32(0), _indexF(0), _index8(0)
{
    _Reserve(_data32, _dataF, _data8);
}

bool BinaryReader::Read(Stream& stream)
{
    const uint32_t countWord = stream.Read32();
    _index32 = 0;
    _indexF = 0;
    _index8 = 0;
    _data32.resize(countWord & TypedBlock::kMaxIntegers);
    _dataF.resize(countWord >> 12 & TypedBlock::kMaxFloats);
    _data8.resize(countWord >> 24);
    return stream.Read(_data32.data(), _data32.size() * sizeof(uint32_t)) &&
           stream.Read(_dataF.data(), _dataF.size() * sizeof(float)) &&
           stream.Read(_data8.data(), _data8.size());
}

void Device::Initialize() {}

void Device::Finalize() {}

} // namespace Agent
} // namespace Talmex
