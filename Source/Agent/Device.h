#pragma once

#include "Agent/Channel.h"
#include "Agent/Stream.h"
#include "Common/Platform/Assert.h"
#include "Common/Singleton.h"
#include "Protocol/TypedBlock.h"

namespace Talmex {
namespace Agent {

// The agent's codecs of the typed block. The writer's array templates take
// fixed-size arrays, so a count beyond the array is a programming error.
using BinaryReader = Protocol::BlockReader;

class BinaryWriter : public Protocol::BlockWriter {
public:
    void Write8(unsigned char value) { BlockWriter::Write8(value); }

    template <unsigned int SIZE_>
    void Write8(unsigned char (&values)[SIZE_], unsigned int count)
    {
        TALMEX_ASSERT(SIZE_ >= count);
        BlockWriter::Write8(values, count);
    }

    template <unsigned int SIZE_>
    void WriteF(float (&values)[SIZE_], unsigned int count)
    {
        TALMEX_ASSERT(SIZE_ >= count);
        BlockWriter::WriteF(values, count);
    }
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
