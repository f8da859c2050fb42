#pragma once

#include "Protocol/Stream.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// The envelope of every datagram in both directions: the magic "TLX0", four
// little-endian words, then a typed block. A request names the client's token
// first and the agent's second; a report mirrors it.
namespace Talmex {
namespace Protocol {

constexpr unsigned char kMagic[4] = {'T', 'L', 'X', '0'};
constexpr size_t kHeaderSize = 20;
// The agent serves on the first of these it can bind.
constexpr uint16_t kAgentPorts[] = {20962, 20963, 20964};
// A channel with no accepted request for this long is dropped.
constexpr uint32_t kChannelExpiryMilliseconds = 1000;
// Requests and reports both carry records for this many sensors.
constexpr int kSensorCount = 2;

inline bool HasMagic(const unsigned char* datagram, size_t size)
{
    return size >= sizeof kMagic && std::memcmp(datagram, kMagic, sizeof kMagic) == 0;
}

struct RequestHeader {
    uint32_t clientToken = 0;
    // 0, or the session token of the channel as the reports show it.
    uint32_t sessionToken = 0;
    uint32_t sequence = 0;
    // Carried but not looked at by the agent.
    uint32_t unused = 0;
};

struct ReportHeader {
    uint32_t sessionToken = 0;
    // The client token of the last accepted request; 0 before one.
    uint32_t clientToken = 0;
    // 1, 2, ... per channel; 0 is never sent.
    uint32_t sequence = 0;
    // The sequence of the last accepted request; 0 before one.
    uint32_t lastRequestSequence = 0;
};

// A word the stream does not wholly hold reads as 0.
inline RequestHeader ReadRequestHeader(Stream& stream)
{
    stream.Read32(); // the magic, checked on receipt
    RequestHeader header;
    header.clientToken = stream.Read32();
    header.sessionToken = stream.Read32();
    header.sequence = stream.Read32();
    header.unused = stream.Read32();
    return header;
}

inline void WriteRequestHeader(const RequestHeader& header, Stream& stream)
{
    stream.Write(kMagic, sizeof kMagic);
    stream.Write32(header.clientToken);
    stream.Write32(header.sessionToken);
    stream.Write32(header.sequence);
    stream.Write32(header.unused);
}

inline void WriteReportHeader(const ReportHeader& header, Stream& stream)
{
    stream.Write(kMagic, sizeof kMagic);
    stream.Write32(header.sessionToken);
    stream.Write32(header.clientToken);
    stream.Write32(header.sequence);
    stream.Write32(header.lastRequestSequence);
}

// Sequences are compared by their signed distance modulo 2^32, so that the
// order survives the wrap: true when next comes after last.
inline bool IsLaterSequence(uint32_t next, uint32_t last)
{
    return static_cast<int32_t>(next - last) > 0;
}

// The sequence after this one, skipping 0, which marks "none yet".
inline uint32_t NextSequence(uint32_t sequence)
{
    return sequence + 1 == 0 ? 1 : sequence + 1;
}

// How many sequences were skipped between last and a later one; 0 is never
// sent, so a wrap skips one fewer.
inline uint32_t LostBetween(uint32_t last, uint32_t later)
{
    const uint32_t gap = later - last - 1;
    return later < last ? gap - 1 : gap;
}

} // namespace Protocol
} // namespace Talmex
