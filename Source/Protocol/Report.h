#pragma once

#include "Protocol/Header.h"
#include "Protocol/Stream.h"
#include "Protocol/TypedBlock.h"

#include <cstddef>
#include <cstdint>

// The state report the agent pushes to its client every service cycle: one
// snapshot of the display, the latency tester and two sensors. Every value is
// sent whether or not the plug-in could answer; a flag says which answers were
// valid. The report has one fixed shape of 241 bytes.
namespace Talmex {
namespace Protocol {

namespace ReportLayout {
constexpr BlockCounts kCounts = {4, 49, 5};
constexpr uint32_t kCountWord = PackCountWord(kCounts); // 0x05031004
constexpr size_t kSize = kHeaderSize + BlockSize(kCounts);
constexpr size_t kIntegersOffset = kHeaderSize + 4;
constexpr size_t kFloatsOffset = kIntegersOffset + 4 * kCounts.integers;
constexpr size_t kBytesOffset = kFloatsOffset + 4 * kCounts.floats;
static_assert(kSize == 241, "a report is 241 bytes");

// Integers.
constexpr size_t kResolution = 0; // first value in bits 0-15, second in 16-31
constexpr size_t kDisplayFlags = 1;
constexpr size_t kSensorFlags = 2; // one per sensor

// Floats: the display, then one record per sensor.
constexpr size_t kScreenSize = 0; // 2
constexpr size_t kEyeToScreenDistance = 2;
constexpr size_t kInterpupillaryDistance = 3;
constexpr size_t kLensSeparationDistance = 4;
constexpr size_t kPlayerEyeHeight = 5;
constexpr size_t kEyeOffset = 6; // 2
constexpr size_t kScreenVCenter = 8;
constexpr size_t kDistortionCoefficients = 9; // 4
constexpr size_t kSensorRecords = 13;
constexpr size_t kSensorRecordFloats = 18;
// Within a sensor record.
constexpr size_t kOrientation = 0;          // 4: w, x, y, z
constexpr size_t kPredictedOrientation = 4; // 4
constexpr size_t kPredictionTime = 8;
constexpr size_t kAcceleration = 9;     // 3
constexpr size_t kAngularVelocity = 12; // 3
constexpr size_t kMagnetometer = 15;    // 3

// Bytes.
constexpr size_t kLatencyColorByte = 0; // 3: r, g, b
constexpr size_t kSensorCountByte = 3;
constexpr size_t kSensorRecordCountByte = 4; // always kSensorCount records
} // namespace ReportLayout

// Bits of the display flags.
namespace DisplayFlag {
constexpr uint32_t kMessage[3] = {1u << 0, 1u << 1, 1u << 2};
constexpr uint32_t kHmdPresent = 1u << 3;
constexpr uint32_t kPortraitMode = 1u << 4;
constexpr uint32_t kResolutionValid = 1u << 5;
constexpr uint32_t kScreenSizeValid = 1u << 6;
constexpr uint32_t kEyeToScreenDistanceValid = 1u << 7;
constexpr uint32_t kInterpupillaryDistanceValid = 1u << 8;
constexpr uint32_t kLensSeparationDistanceValid = 1u << 9;
constexpr uint32_t kPlayerEyeHeightValid = 1u << 10;
constexpr uint32_t kEyeOffsetValid = 1u << 11;
constexpr uint32_t kScreenVCenterValid = 1u << 12;
constexpr uint32_t kDistortionCoefficientsValid = 1u << 13;
constexpr uint32_t kLatencyColorValid = 1u << 14;
} // namespace DisplayFlag

// Bits of each sensor's flags.
namespace SensorFlag {
constexpr uint32_t kPresent = 1u << 0;
constexpr uint32_t kMagCalibrated = 1u << 1;
constexpr uint32_t kYawCorrectionEnabled = 1u << 2;
constexpr uint32_t kOrientationValid = 1u << 3;
constexpr uint32_t kPredictedOrientationValid = 1u << 4;
constexpr uint32_t kPredictionTimeValid = 1u << 5;
constexpr uint32_t kAccelerationValid = 1u << 6;
// One bit for both queries: set when either answered.
constexpr uint32_t kAngularVelocityOrMagnetometerValid = 1u << 7;
} // namespace SensorFlag

// The clamped resolution word: each value limited to 0-65535.
uint32_t PackResolution(int first, int second);

struct DisplayState {
    bool message[3] = {};
    bool hmdPresent = false;
    bool portraitMode = false;
    bool resolutionValid = false;
    bool screenSizeValid = false;
    bool eyeToScreenDistanceValid = false;
    bool interpupillaryDistanceValid = false;
    bool lensSeparationDistanceValid = false;
    bool playerEyeHeightValid = false;
    bool eyeOffsetValid = false;
    bool screenVCenterValid = false;
    bool distortionCoefficientsValid = false;
    bool latencyColorValid = false;

    uint16_t resolution[2] = {}; // pixels, as the plug-in orders them
    float screenSize[2] = {};    // metres
    float eyeToScreenDistance = 0;
    float interpupillaryDistance = 0;
    float lensSeparationDistance = 0;
    float playerEyeHeight = 0;
    float eyeOffset[2] = {};
    float screenVCenter = 0;
    float distortionCoefficients[4] = {};
    unsigned char latencyColor[3] = {}; // r, g, b
};

struct SensorState {
    bool present = false;
    bool magCalibrated = false;
    bool yawCorrectionEnabled = false;
    bool orientationValid = false;
    bool predictedOrientationValid = false;
    bool predictionTimeValid = false;
    bool accelerationValid = false;
    bool angularVelocityOrMagnetometerValid = false;

    float orientation[4] = {}; // unit quaternion w, x, y, z
    float predictedOrientation[4] = {};
    float predictionTime = 0;      // seconds
    float acceleration[3] = {};    // metres per second squared
    float angularVelocity[3] = {}; // radians per second
    float magnetometer[3] = {};    // gauss
};

struct Report {
    ReportHeader header;
    DisplayState display;
    unsigned char sensorCount = 0;
    unsigned char sensorRecordCount = kSensorCount;
    SensorState sensors[kSensorCount];
};

uint32_t DisplayFlagsOf(const DisplayState& display);
uint32_t SensorFlagsOf(const SensorState& sensor);

enum class ReportCheck { kValid, kWrongSize, kWrongMagic, kWrongCountWord };

// Checks the datagram's size, magic and count word, then decodes every field.
// Nothing is written to the report unless the datagram is valid.
ReportCheck DecodeReport(const unsigned char* datagram, size_t size, Report& report);

// Appends the report's 241 bytes.
void WriteReport(const Report& report, BlockWriter& writer, Stream& stream);

const char* Describe(ReportCheck check);

} // namespace Protocol
} // namespace Talmex
