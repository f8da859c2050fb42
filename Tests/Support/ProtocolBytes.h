#pragma once

// Datagrams of the agent's protocol assembled and taken apart byte by byte,
// independently of the agent's own encoder, for tests.

#include "Protocol/Report.h"
#include "Protocol/Request.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace TalmexTest {

using Bytes = std::vector<unsigned char>;

// The first of the agent's three ports, and the length of every report.
constexpr uint16_t kFirstPort = Talmex::Protocol::kAgentPorts[0];
constexpr size_t kReportSize = Talmex::Protocol::ReportLayout::kSize;

inline void AppendWord(Bytes& bytes, uint32_t word)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<unsigned char>(word >> shift));
    }
}

inline uint32_t BitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline uint32_t WordAt(const Bytes& bytes, size_t offset)
{
    uint32_t word = 0;
    for (int i = 3; i >= 0; --i) {
        word = word << 8 | bytes.at(offset + static_cast<size_t>(i));
    }
    return word;
}

inline float FloatAt(const Bytes& bytes, size_t offset)
{
    const uint32_t bits = WordAt(bytes, offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline Bytes BlockOf(const std::vector<uint32_t>& integers, const std::vector<float>& floats,
                     const Bytes& bytes)
{
    Bytes block;
    AppendWord(block,
               static_cast<uint32_t>(integers.size() | floats.size() << 12 | bytes.size() << 24));
    for (uint32_t value : integers) {
        AppendWord(block, value);
    }
    for (float value : floats) {
        AppendWord(block, BitsOf(value));
    }
    block.insert(block.end(), bytes.begin(), bytes.end());
    return block;
}

struct RequestHeader {
    uint32_t clientToken = 0;
    uint32_t sessionToken = 0;
    uint32_t sequence = 0;
};

inline Bytes HeaderOf(const RequestHeader& header)
{
    Bytes bytes = {'T', 'L', 'X', '0'};
    AppendWord(bytes, header.clientToken);
    AppendWord(bytes, header.sessionToken);
    AppendWord(bytes, header.sequence);
    AppendWord(bytes, 0xDEADBEEF); // ignored by the agent
    return bytes;
}

// Header-only requests with the next sequence number each time.
struct Requester {
    uint32_t clientToken;
    uint32_t sequence = 0;
    Bytes Next() { return HeaderOf(RequestHeader{clientToken, 0, ++sequence}); }
};

struct ReportHeader {
    uint32_t sessionToken, clientToken, sequence, lastRequest;
};

inline ReportHeader ReportHeaderOf(const Bytes& report)
{
    return {WordAt(report, 4), WordAt(report, 8), WordAt(report, 12), WordAt(report, 16)};
}

// Where a report's three arrays begin, and the floats of one sensor record.
constexpr size_t kReportIntegersAt = Talmex::Protocol::ReportLayout::kIntegersOffset;
constexpr size_t kReportFloatsAt = Talmex::Protocol::ReportLayout::kFloatsOffset;
constexpr size_t kReportBytesAt = Talmex::Protocol::ReportLayout::kBytesOffset;
constexpr size_t kSensorRecordFloats = Talmex::Protocol::ReportLayout::kSensorRecordFloats;

inline uint32_t ReportInteger(const Bytes& report, size_t index)
{
    return WordAt(report, kReportIntegersAt + 4 * index);
}

inline float ReportFloat(const Bytes& report, size_t index)
{
    return FloatAt(report, kReportFloatsAt + 4 * index);
}

inline unsigned char ReportByte(const Bytes& report, size_t index)
{
    return report.at(kReportBytesAt + index);
}

// What a client asks: the protocol's own structure, encoded below by hand.
using Talmex::Protocol::SensorWishes;
using Talmex::Protocol::Wishes;

inline Bytes RequestOf(const RequestHeader& header, const Wishes& wishes)
{
    std::vector<uint32_t> integers = {wishes.latencyInputCounter};
    std::vector<float> floats;
    Bytes bytes = {wishes.sensorCount};
    for (const SensorWishes& s : wishes.sensors) {
        integers.insert(integers.end(), {s.predictionTimeCounter, s.yawCorrectionCounter,
                                         s.resetOrientationCounter, s.magYawCorrectionCounter});
        floats.push_back(s.predictionTimeSeconds);
        bytes.insert(bytes.end(), {s.yawCorrection, s.magYawCorrection});
    }
    Bytes request = HeaderOf(header);
    const Bytes block = BlockOf(integers, floats, bytes);
    request.insert(request.end(), block.begin(), block.end());
    return request;
}

} // namespace TalmexTest
