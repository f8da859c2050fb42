// The typed-block reader on any bytes: it accepts exactly the blocks that lie
// wholly inside the stream, hands out their values in order and zeros after
// them, and what it accepts is written out again byte for byte.

#include "BlockSize.h"
#include "Check.h"

#include "Agent/Device.h"
#include "Agent/Stream.h"
#include "Support/ProtocolBytes.h"

#include <algorithm>
#include <cstring>

namespace {

using Talmex::Agent::BinaryReader;
using Talmex::Agent::BinaryWriter;
using Talmex::Agent::Stream;
using TalmexFuzz::Check;
using TalmexTest::Bytes;
using TalmexTest::WordAt;

// Reused for every input, as the agent reuses its own.
BinaryReader _reader;
BinaryWriter _writer;
Stream _stream;

// Checks the values against the block's bytes and collects them for writing.
void CheckValues(const Bytes& block, uint32_t countWord)
{
    _writer.Clear();
    size_t at = 4;
    for (uint32_t i = 0; i < (countWord & 0xFFF); ++i, at += 4) {
        const uint32_t value = _reader.Read32();
        Check(value == WordAt(block, at), "an integer differs from its bytes");
        _writer.Write32(value);
    }
    for (uint32_t i = 0; i < (countWord >> 12 & 0xFFF); ++i, at += 4) {
        float value[1] = {_reader.ReadF()};
        Check(std::memcmp(value, block.data() + at, 4) == 0, "a float differs from its bytes");
        _writer.WriteF(value, 1);
    }
    for (uint32_t i = 0; i < countWord >> 24; ++i, ++at) {
        const unsigned char value = _reader.Read8();
        Check(value == block[at], "a byte differs from its block");
        _writer.Write8(value);
    }
    Check(_reader.Read32() == 0 && _reader.ReadF() == 0.0f && _reader.Read8() == 0,
          "a value beyond the block is not zero");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Bytes input(data, data + size);
    _stream.Clear();
    _stream.Write(data, size);
    const bool accepted = _reader.Read(_stream);

    const uint32_t countWord = size >= 4 ? WordAt(input, 0) : 0;
    const size_t blockSize = TalmexFuzz::DeclaredBlockSize(countWord);
    Check(accepted == (size < 4 || blockSize <= size),
          "acceptance differs from the block's extent");
    if (!accepted) {
        return 0;
    }
    const Bytes block = size < 4 ? Bytes{0, 0, 0, 0} : Bytes(data, data + blockSize);
    Check(_stream.Position() == std::min(size, blockSize),
          "the reader stopped elsewhere than at the block's end");
    CheckValues(block, countWord);

    Stream written;
    _writer.Emit(written);
    Check(written.Size() == block.size() &&
              std::memcmp(written.Data(), block.data(), block.size()) == 0,
          "the block written again differs from the one read");
    return 0;
}
