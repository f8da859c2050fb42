#pragma once

#include "Protocol/Header.h"
#include "Protocol/Stream.h"
#include "Protocol/TypedBlock.h"

#include <cstddef>
#include <cstdint>

// A request states the client's current wishes as change counters: the agent
// performs an action each time the action's counter differs from the last one
// it saw on the channel, so repeating a request repeats nothing. Arguments
// travel beside their counters and count only when the counter changes.
namespace Talmex {
namespace Protocol {

struct SensorWishes {
    uint32_t predictionTimeCounter = 0;
    uint32_t yawCorrectionCounter = 0;
    uint32_t resetOrientationCounter = 0;
    uint32_t magYawCorrectionCounter = 0;
    float predictionTimeSeconds = 0;
    // Non-zero enables.
    unsigned char yawCorrection = 0;
    unsigned char magYawCorrection = 0;
};

struct Wishes {
    uint32_t latencyInputCounter = 0;
    // Sensor records in the block; the agent reads at most kSensorCount.
    unsigned char sensorCount = kSensorCount;
    SensorWishes sensors[kSensorCount];
};

struct Request {
    RequestHeader header;
    Wishes wishes;
};

// Reads the wishes from a decoded block in the layout's order. Values the
// block leaves out read as 0; only min(sensor count, kSensorCount) sensor
// records are read, the others stay zero. The agent checks a request's
// header (ReadRequestHeader) before it decodes the block and reads these.
Wishes ReadWishes(BlockReader& reader);

// Appends a whole request: the header and a block with every sensor record.
void WriteRequest(const Request& request, BlockWriter& writer, Stream& stream);

} // namespace Protocol
} // namespace Talmex
