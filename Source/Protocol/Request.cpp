#include "Protocol/Request.h"

#include <algorithm>

namespace Talmex {
namespace Protocol {

Wishes ReadWishes(BlockReader& reader)
{
    Wishes wishes;
    wishes.latencyInputCounter = reader.Read32();
    wishes.sensorCount = reader.Read8();
    const int records = std::min<int>(wishes.sensorCount, kSensorCount);
    for (int s = 0; s < records; ++s) {
        SensorWishes& sensor = wishes.sensors[s];
        sensor.predictionTimeCounter = reader.Read32();
        sensor.yawCorrectionCounter = reader.Read32();
        sensor.resetOrientationCounter = reader.Read32();
        sensor.magYawCorrectionCounter = reader.Read32();
        sensor.predictionTimeSeconds = reader.ReadF();
        sensor.yawCorrection = reader.Read8();
        sensor.magYawCorrection = reader.Read8();
    }
    return wishes;
}

void WriteRequest(const Request& request, BlockWriter& writer, Stream& stream)
{
    const Wishes& wishes = request.wishes;
    writer.Clear();
    writer.Write32(wishes.latencyInputCounter);
    writer.Write8(wishes.sensorCount);
    for (const SensorWishes& sensor : wishes.sensors) {
        writer.Write32(sensor.predictionTimeCounter);
        writer.Write32(sensor.yawCorrectionCounter);
        writer.Write32(sensor.resetOrientationCounter);
        writer.Write32(sensor.magYawCorrectionCounter);
        writer.WriteF(&sensor.predictionTimeSeconds, 1);
        writer.Write8(sensor.yawCorrection);
        writer.Write8(sensor.magYawCorrection);
    }
    WriteRequestHeader(request.header, stream);
    writer.Emit(stream);
}

} // namespace Protocol
} // namespace Talmex
