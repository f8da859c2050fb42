#pragma once

#include <cstddef>
#include <cstdint>

// The reports of the first development kit of the Rift headset as its HID
// interface carries them: little-endian, each starting with its report id,
// each of its own length.
namespace TalmexTest {
namespace Rift {

constexpr uint16_t kVendorId = 0x2833;
constexpr uint16_t kProductId = 0x0001;

// Feature reports, read and written by the driver.
constexpr unsigned char kSensorConfigId = 2;
constexpr size_t kSensorConfigSize = 7;
constexpr unsigned char kRangeId = 4;
constexpr size_t kRangeSize = 8;
constexpr unsigned char kKeepAliveId = 8;
constexpr size_t kKeepAliveSize = 5;
constexpr unsigned char kDisplayInfoId = 9;
constexpr size_t kDisplayInfoSize = 56;
// The input report, streamed.
constexpr unsigned char kTrackerSensorsId = 1;
constexpr size_t kTrackerSensorsSize = 62;

// Units of the tracker message: 1e-4 m/s^2, 1e-4 rad/s, 1e-4 gauss.
constexpr double kSampleUnit = 1e-4;
// A sample value is a signed 21-bit number.
constexpr int32_t kSampleLimit = (1 << 20) - 1;
constexpr int kSamplesPerMessage = 3;

struct SensorConfig {
    uint16_t commandId = 0;
    uint8_t flags = 0;
    uint8_t packetInterval = 0;
    uint16_t keepAliveInterval = 0; // milliseconds
};

// At power-up: calibration in use and automatic, values in the head's frame,
// a keep-alive interval of one second.
constexpr SensorConfig kPowerUpSensorConfig{0, 0x0C, 0, 1000};

struct KeepAlive {
    uint16_t commandId = 0;
    uint16_t interval = 0; // milliseconds
};

// Full scales: g, degrees per second, milligauss.
struct Range {
    uint8_t acceleration;
    uint16_t angularVelocity;
    uint16_t magneticField;
};

// Lengths in metres.
struct DisplayInfo {
    uint8_t distortionType; // 2: screen and lens distortion described
    uint16_t horizontalResolution;
    uint16_t verticalResolution;
    double horizontalSize;
    double verticalSize;
    double verticalCenter;
    double lensSeparation;
    double eyeToScreenDistance[2];
    float distortion[6];
};

constexpr Range kRange{4, 2000, 4000};
constexpr DisplayInfo kDisplay{
    2, 1280, 800, 0.14976, 0.0936, 0.0468, 0.0635, {0.041, 0.041}, {1, 0.22f, 0.24f, 0, 0, 0}};

// One to three samples, oldest first, in kSampleUnit.
struct TrackerMessage {
    uint8_t sampleCount = 0;
    uint16_t timestamp = 0; // of the newest sample
    uint16_t lastCommandId = 0;
    int16_t temperature = 0;
    int32_t acceleration[kSamplesPerMessage][3] = {};
    int32_t angularVelocity[kSamplesPerMessage][3] = {};
    int16_t magneticField[3] = {};
};

void EncodeSensorConfig(const SensorConfig& config, unsigned char* report);
// Reports of at least their size.
SensorConfig DecodeSensorConfig(const unsigned char* report);
KeepAlive DecodeKeepAlive(const unsigned char* report);
void EncodeRange(const Range& range, unsigned char* report);
void EncodeDisplayInfo(const DisplayInfo& display, unsigned char* report);
void EncodeTrackerSensors(const TrackerMessage& message, unsigned char* report);

} // namespace Rift
} // namespace TalmexTest
