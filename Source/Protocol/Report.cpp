#include "Protocol/Report.h"

#include "Protocol/Coding.h"

#include <algorithm>

namespace Talmex {
namespace Protocol {

namespace {

using namespace ReportLayout;

// The flag bits of each state, with the field each bit mirrors: one table
// serves both directions.
template <class State>
struct FlagBit {
    uint32_t bit;
    bool State::*field;
};

const FlagBit<DisplayState> kDisplayFlagBits[] = {
    {DisplayFlag::kHmdPresent, &DisplayState::hmdPresent},
    {DisplayFlag::kPortraitMode, &DisplayState::portraitMode},
    {DisplayFlag::kResolutionValid, &DisplayState::resolutionValid},
    {DisplayFlag::kScreenSizeValid, &DisplayState::screenSizeValid},
    {DisplayFlag::kEyeToScreenDistanceValid, &DisplayState::eyeToScreenDistanceValid},
    {DisplayFlag::kInterpupillaryDistanceValid, &DisplayState::interpupillaryDistanceValid},
    {DisplayFlag::kLensSeparationDistanceValid, &DisplayState::lensSeparationDistanceValid},
    {DisplayFlag::kPlayerEyeHeightValid, &DisplayState::playerEyeHeightValid},
    {DisplayFlag::kEyeOffsetValid, &DisplayState::eyeOffsetValid},
    {DisplayFlag::kScreenVCenterValid, &DisplayState::screenVCenterValid},
    {DisplayFlag::kDistortionCoefficientsValid, &DisplayState::distortionCoefficientsValid},
    {DisplayFlag::kLatencyColorValid, &DisplayState::latencyColorValid},
};

const FlagBit<SensorState> kSensorFlagBits[] = {
    {SensorFlag::kPresent, &SensorState::present},
    {SensorFlag::kMagCalibrated, &SensorState::magCalibrated},
    {SensorFlag::kYawCorrectionEnabled, &SensorState::yawCorrectionEnabled},
    {SensorFlag::kOrientationValid, &SensorState::orientationValid},
    {SensorFlag::kPredictedOrientationValid, &SensorState::predictedOrientationValid},
    {SensorFlag::kPredictionTimeValid, &SensorState::predictionTimeValid},
    {SensorFlag::kAccelerationValid, &SensorState::accelerationValid},
    {SensorFlag::kAngularVelocityOrMagnetometerValid,
     &SensorState::angularVelocityOrMagnetometerValid},
};

template <class State, size_t N>
uint32_t _FlagsOf(const State& state, const FlagBit<State> (&bits)[N])
{
    uint32_t flags = 0;
    for (const FlagBit<State>& flag : bits) {
        flags |= state.*flag.field ? flag.bit : 0;
    }
    return flags;
}

template <class State, size_t N>
void _SetFlags(uint32_t flags, State& state, const FlagBit<State> (&bits)[N])
{
    for (const FlagBit<State>& flag : bits) {
        state.*flag.field = (flags & flag.bit) != 0;
    }
}

template <size_t N>
void _DecodeFloats(const unsigned char* datagram, size_t index, float (&values)[N])
{
    for (size_t k = 0; k < N; ++k) {
        values[k] = DecodeFloat(datagram + kFloatsOffset + 4 * (index + k));
    }
}

void _DecodeFloat(const unsigned char* datagram, size_t index, float& value)
{
    value = DecodeFloat(datagram + kFloatsOffset + 4 * index);
}

void _DecodeSensor(const unsigned char* datagram, int s, SensorState& sensor)
{
    _SetFlags(DecodeFixed32(datagram + kIntegersOffset + 4 * (kSensorFlags + s)), sensor,
              kSensorFlagBits);
    const size_t record = kSensorRecords + kSensorRecordFloats * static_cast<size_t>(s);
    _DecodeFloats(datagram, record + kOrientation, sensor.orientation);
    _DecodeFloats(datagram, record + kPredictedOrientation, sensor.predictedOrientation);
    _DecodeFloat(datagram, record + kPredictionTime, sensor.predictionTime);
    _DecodeFloats(datagram, record + kAcceleration, sensor.acceleration);
    _DecodeFloats(datagram, record + kAngularVelocity, sensor.angularVelocity);
    _DecodeFloats(datagram, record + kMagnetometer, sensor.magnetometer);
}

void _DecodeDisplay(const unsigned char* datagram, DisplayState& display)
{
    const uint32_t resolution = DecodeFixed32(datagram + kIntegersOffset + 4 * kResolution);
    display.resolution[0] = static_cast<uint16_t>(resolution);
    display.resolution[1] = static_cast<uint16_t>(resolution >> 16);
    const uint32_t flags = DecodeFixed32(datagram + kIntegersOffset + 4 * kDisplayFlags);
    for (int m = 0; m < 3; ++m) {
        display.message[m] = (flags & DisplayFlag::kMessage[m]) != 0;
    }
    _SetFlags(flags, display, kDisplayFlagBits);
    _DecodeFloats(datagram, kScreenSize, display.screenSize);
    _DecodeFloat(datagram, kEyeToScreenDistance, display.eyeToScreenDistance);
    _DecodeFloat(datagram, kInterpupillaryDistance, display.interpupillaryDistance);
    _DecodeFloat(datagram, kLensSeparationDistance, display.lensSeparationDistance);
    _DecodeFloat(datagram, kPlayerEyeHeight, display.playerEyeHeight);
    _DecodeFloats(datagram, kEyeOffset, display.eyeOffset);
    _DecodeFloat(datagram, kScreenVCenter, display.screenVCenter);
    _DecodeFloats(datagram, kDistortionCoefficients, display.distortionCoefficients);
    std::copy_n(datagram + kBytesOffset + kLatencyColorByte, 3, display.latencyColor);
}

} // namespace

uint32_t PackResolution(int first, int second)
{
    const auto clamp = [](int value) {
        return static_cast<uint32_t>(std::clamp(value, 0, 0xFFFF));
    };
    return clamp(first) | clamp(second) << 16;
}

uint32_t DisplayFlagsOf(const DisplayState& display)
{
    uint32_t flags = _FlagsOf(display, kDisplayFlagBits);
    for (int m = 0; m < 3; ++m) {
        flags |= display.message[m] ? DisplayFlag::kMessage[m] : 0;
    }
    return flags;
}

uint32_t SensorFlagsOf(const SensorState& sensor)
{
    return _FlagsOf(sensor, kSensorFlagBits);
}

ReportCheck DecodeReport(const unsigned char* datagram, size_t size, Report& report)
{
    if (size != kSize) {
        return ReportCheck::kWrongSize;
    }
    if (!HasMagic(datagram, size)) {
        return ReportCheck::kWrongMagic;
    }
    if (DecodeFixed32(datagram + kHeaderSize) != kCountWord) {
        return ReportCheck::kWrongCountWord;
    }
    report.header.sessionToken = DecodeFixed32(datagram + 4);
    report.header.clientToken = DecodeFixed32(datagram + 8);
    report.header.sequence = DecodeFixed32(datagram + 12);
    report.header.lastRequestSequence = DecodeFixed32(datagram + 16);
    _DecodeDisplay(datagram, report.display);
    report.sensorCount = datagram[kBytesOffset + kSensorCountByte];
    report.sensorRecordCount = datagram[kBytesOffset + kSensorRecordCountByte];
    for (int s = 0; s < kSensorCount; ++s) {
        _DecodeSensor(datagram, s, report.sensors[s]);
    }
    return ReportCheck::kValid;
}

void WriteReport(const Report& report, BlockWriter& writer, Stream& stream)
{
    const DisplayState& display = report.display;
    writer.Clear();
    writer.Write32(display.resolution[0] | static_cast<uint32_t>(display.resolution[1]) << 16);
    writer.Write32(DisplayFlagsOf(display));
    for (const SensorState& sensor : report.sensors) {
        writer.Write32(SensorFlagsOf(sensor));
    }
    writer.WriteF(display.screenSize, 2);
    writer.WriteF(&display.eyeToScreenDistance, 1);
    writer.WriteF(&display.interpupillaryDistance, 1);
    writer.WriteF(&display.lensSeparationDistance, 1);
    writer.WriteF(&display.playerEyeHeight, 1);
    writer.WriteF(display.eyeOffset, 2);
    writer.WriteF(&display.screenVCenter, 1);
    writer.WriteF(display.distortionCoefficients, 4);
    for (const SensorState& sensor : report.sensors) {
        writer.WriteF(sensor.orientation, 4);
        writer.WriteF(sensor.predictedOrientation, 4);
        writer.WriteF(&sensor.predictionTime, 1);
        writer.WriteF(sensor.acceleration, 3);
        writer.WriteF(sensor.angularVelocity, 3);
        writer.WriteF(sensor.magnetometer, 3);
    }
    writer.Write8(display.latencyColor, 3);
    writer.Write8(report.sensorCount);
    writer.Write8(report.sensorRecordCount);
    WriteReportHeader(report.header, stream);
    writer.Emit(stream);
}

const char* Describe(ReportCheck check)
{
    switch (check) {
    case ReportCheck::kValid:
        return "valid";
    case ReportCheck::kWrongSize:
        return "not 241 bytes";
    case ReportCheck::kWrongMagic:
        return "no TLX0 magic";
    case ReportCheck::kWrongCountWord:
        return "wrong count word";
    }
    return "unknown";
}

} // namespace Protocol
} // namespace Talmex
