#include "RiftReports.h"

#include "Protocol/Coding.h"

#include <cmath>

namespace TalmexTest {
namespace Rift {

using Talmex::Protocol::DecodeFixed16;
using Talmex::Protocol::EncodeFixed16;
using Talmex::Protocol::EncodeFixed32;
using Talmex::Protocol::EncodeFloat;

namespace {

// A feature report starts with its id and the id of the command it answers.
void _EncodeHeader(unsigned char id, uint16_t commandId, unsigned char* report)
{
    report[0] = id;
    EncodeFixed16(report + 1, commandId);
}

// Lengths travel as whole micrometres.
void _EncodeLength(unsigned char* bytes, double metres)
{
    EncodeFixed32(bytes, static_cast<uint32_t>(std::lround(metres * 1e6)));
}

// Three signed 21-bit values packed big-endian into 8 bytes, x first; the
// last bit is unused.
void _EncodeSample(const int32_t* values, unsigned char* bytes)
{
    const uint64_t mask = (uint64_t{1} << 21) - 1;
    const uint64_t bits = (static_cast<uint64_t>(values[0]) & mask) << 43 |
                          (static_cast<uint64_t>(values[1]) & mask) << 22 |
                          (static_cast<uint64_t>(values[2]) & mask) << 1;
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    }
}

} // namespace

void EncodeSensorConfig(const SensorConfig& config, unsigned char* report)
{
    _EncodeHeader(kSensorConfigId, config.commandId, report);
    report[3] = config.flags;
    report[4] = config.packetInterval;
    EncodeFixed16(report + 5, config.keepAliveInterval);
}

SensorConfig DecodeSensorConfig(const unsigned char* report)
{
    SensorConfig config;
    config.commandId = DecodeFixed16(report + 1);
    config.flags = report[3];
    config.packetInterval = report[4];
    config.keepAliveInterval = DecodeFixed16(report + 5);
    return config;
}

KeepAlive DecodeKeepAlive(const unsigned char* report)
{
    return {DecodeFixed16(report + 1), DecodeFixed16(report + 3)};
}

void EncodeRange(const Range& range, unsigned char* report)
{
    _EncodeHeader(kRangeId, 0, report);
    report[3] = range.acceleration;
    EncodeFixed16(report + 4, range.angularVelocity);
    EncodeFixed16(report + 6, range.magneticField);
}

void EncodeDisplayInfo(const DisplayInfo& display, unsigned char* report)
{
    _EncodeHeader(kDisplayInfoId, 0, report);
    report[3] = display.distortionType;
    EncodeFixed16(report + 4, display.horizontalResolution);
    EncodeFixed16(report + 6, display.verticalResolution);
    const double lengths[] = {display.horizontalSize,         display.verticalSize,
                              display.verticalCenter,         display.lensSeparation,
                              display.eyeToScreenDistance[0], display.eyeToScreenDistance[1]};
    unsigned char* at = report + 8;
    for (double length : lengths) {
        _EncodeLength(at, length);
        at += 4;
    }
    for (float coefficient : display.distortion) {
        EncodeFloat(at, coefficient);
        at += 4;
    }
}

void EncodeTrackerSensors(const TrackerMessage& message, unsigned char* report)
{
    report[0] = kTrackerSensorsId;
    report[1] = message.sampleCount;
    EncodeFixed16(report + 2, message.timestamp);
    EncodeFixed16(report + 4, message.lastCommandId);
    EncodeFixed16(report + 6, static_cast<uint16_t>(message.temperature));
    unsigned char* at = report + 8;
    for (int i = 0; i < kSamplesPerMessage; ++i) {
        _EncodeSample(message.acceleration[i], at);
        _EncodeSample(message.angularVelocity[i], at + 8);
        at += 16;
    }
    for (int16_t value : message.magneticField) {
        EncodeFixed16(at, static_cast<uint16_t>(value));
        at += 2;
    }
}

} // namespace Rift
} // namespace TalmexTest
