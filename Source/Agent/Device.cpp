#include "Agent/Device.h"

#include "Agent/Manager.h"
#include "Agent/Network.h"
#include "Agent/OculusPlugin.h"
#include "Protocol/Header.h"
#include "Protocol/Report.h"
#include "Protocol/Request.h"

#include <algorithm>

namespace Talmex {

// Every process-wide object of the agent is defined here, in this order:
// C++ constructs them in definition order within one translation unit and
// destroys them in reverse, which is the start and stop order the agent needs.
template <>
Agent::Manager Singleton<Agent::Manager>::_instance{};
template <>
Agent::Device Singleton<Agent::Device>::_instance{};
template <>
Agent::Network Singleton<Agent::Network>::_instance{};

namespace Agent {

BinaryReader _binaryReader;
BinaryWriter _binaryWriter;

namespace {

// True while some channel holds the headset.
bool _isLockedDevice = false;

namespace DisplayFlag = Protocol::DisplayFlag;
namespace SensorFlag = Protocol::SensorFlag;

uint32_t _Bit(bool value, uint32_t bit)
{
    return value ? bit : 0;
}

// Stores a counter that differs from the last one seen; true when it did.
bool _CounterChanged(uint32_t& stored, uint32_t received)
{
    if (stored == received) {
        return false;
    }
    stored = received;
    return true;
}

// Runs one float query on zeroed scratch, so that what the plug-in leaves
// unwritten is reported as 0, and writes the first count values.
template <class Query>
bool _WriteFloats(unsigned int count, Query query)
{
    float values[4] = {};
    const bool valid = query(values);
    _binaryWriter.WriteF(values, count);
    return valid;
}

uint32_t _WriteDisplay()
{
    using P = OculusPlugin;
    uint32_t flags = 0;
    flags |= _Bit(_WriteFloats(2, [](float(&v)[4]) { return P::GetScreenSize(v[0], v[1]); }),
                  DisplayFlag::kScreenSizeValid);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetEyeToScreenDistance(v[0]); }),
                  DisplayFlag::kEyeToScreenDistanceValid);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetInterpupillaryDistance(v[0]); }),
                  DisplayFlag::kInterpupillaryDistanceValid);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetLensSeparationDistance(v[0]); }),
                  DisplayFlag::kLensSeparationDistanceValid);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetPlayerEyeHeight(v[0]); }),
                  DisplayFlag::kPlayerEyeHeightValid);
    flags |= _Bit(_WriteFloats(2, [](float(&v)[4]) { return P::GetEyeOffset(v[0], v[1]); }),
                  DisplayFlag::kEyeOffsetValid);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetScreenVCenter(v[0]); }),
                  DisplayFlag::kScreenVCenterValid);
    flags |= _Bit(
        _WriteFloats(
            4, [](float(&v)[4]) { return P::GetDistortionCoefficients(v[0], v[1], v[2], v[3]); }),
        DisplayFlag::kDistortionCoefficientsValid);
    return flags;
}

uint32_t _WriteSensor(int s)
{
    using P = OculusPlugin;
    uint32_t flags = _Bit(P::IsSensorPresent(s), SensorFlag::kPresent);
    flags |= _Bit(P::IsMagCalibrated(s), SensorFlag::kMagCalibrated);
    flags |= _Bit(P::IsYawCorrectionEnabled(s), SensorFlag::kYawCorrectionEnabled);
    flags |= _Bit(
        _WriteFloats(
            4, [s](float(&v)[4]) { return P::GetSensorOrientation(s, v[0], v[1], v[2], v[3]); }),
        SensorFlag::kOrientationValid);
    flags |=
        _Bit(_WriteFloats(4,
                          [s](float(&v)[4]) {
                              return P::GetSensorPredictedOrientation(s, v[0], v[1], v[2], v[3]);
                          }),
             SensorFlag::kPredictedOrientationValid);
    flags |=
        _Bit(_WriteFloats(1, [s](float(&v)[4]) { return P::GetSensorPredictionTime(s, v[0]); }),
             SensorFlag::kPredictionTimeValid);
    flags |=
        _Bit(_WriteFloats(3, [s](float(&v)[4]) { return P::GetAcceleration(s, v[0], v[1], v[2]); }),
             SensorFlag::kAccelerationValid);
    const bool angularVelocity =
        _WriteFloats(3, [s](float(&v)[4]) { return P::GetAngularVelocity(s, v[0], v[1], v[2]); });
    const bool magnetometer =
        _WriteFloats(3, [s](float(&v)[4]) { return P::GetMagnetometer(s, v[0], v[1], v[2]); });
    return flags |
           _Bit(angularVelocity || magnetometer, SensorFlag::kAngularVelocityOrMagnetometerValid);
}

} // namespace

void Device::Initialize()
{
    OculusPlugin::Load();
}

void Device::Finalize()
{
    OculusPlugin::Free();
}

bool Device::LockDevice()
{
    if (_isLockedDevice) {
        return false;
    }
    _isLockedDevice = true;
    OculusPlugin::Initialize();
    return true;
}

void Device::UnlockDevice()
{
    if (_isLockedDevice) {
        _isLockedDevice = false;
        OculusPlugin::Destroy();
    }
}

bool Device::ReadFrom(Stream& stream, Channel& channel)
{
    const Protocol::RequestHeader header = Protocol::ReadRequestHeader(stream);
    if (channel._clientToken != 0 && channel._clientToken != header.clientToken) {
        return false;
    }
    if (header.sessionToken != 0 && header.sessionToken != channel._sToken) {
        return false;
    }
    if (channel._requestSequence != 0 &&
        !Protocol::IsLaterSequence(header.sequence, channel._requestSequence)) {
        return false;
    }
    channel._clientToken = header.clientToken;
    channel._requestSequence = header.sequence;

    if (!_binaryReader.Read(stream)) {
        return false;
    }
    const Protocol::Wishes wishes = Protocol::ReadWishes(_binaryReader);

    const bool ownsDevice = channel._ownsDevice;
    if (_CounterChanged(channel._latencyInputCounter, wishes.latencyInputCounter) && ownsDevice) {
        OculusPlugin::ProcessLatencyInputs();
    }
    const int sensors = std::min<int>(wishes.sensorCount, Protocol::kSensorCount);
    for (int s = 0; s < sensors; ++s) {
        const Protocol::SensorWishes& wish = wishes.sensors[s];
        if (_CounterChanged(channel._predictionTimeCounter[s], wish.predictionTimeCounter) &&
            ownsDevice) {
            OculusPlugin::SetSensorPredictionTime(s, wish.predictionTimeSeconds);
        }
        if (_CounterChanged(channel._yawCorrectionCounter[s], wish.yawCorrectionCounter) &&
            ownsDevice) {
            OculusPlugin::EnableYawCorrection(s, wish.yawCorrection != 0);
        }
        if (_CounterChanged(channel._resetOrientationCounter[s], wish.resetOrientationCounter) &&
            ownsDevice) {
            OculusPlugin::ResetSensorOrientation(s);
        }
        if (_CounterChanged(channel._magYawCorrectionCounter[s], wish.magYawCorrectionCounter) &&
            ownsDevice) {
            OculusPlugin::EnableMagYawCorrection(s, wish.magYawCorrection != 0);
        }
    }
    return true;
}

bool Device::WriteTo(Stream& stream, Channel& channel)
{
    using P = OculusPlugin;
    BinaryWriter& writer = _binaryWriter;
    writer.Clear();

    OculusPlugin::MESSAGELIST messages{};
    P::Update(messages);
    const bool hmdPresent = P::IsHMDPresent();
    const int sensorCount = std::clamp(P::GetSensorCount(), 0, 255);
    const bool portrait = P::RenderPortraitMode();

    int horizontal = 0;
    int vertical = 0;
    const bool resolution = P::GetScreenResolution(horizontal, vertical);
    writer.Write32(Protocol::PackResolution(horizontal, vertical));

    uint32_t displayFlags = _WriteDisplay();

    unsigned char colour[3] = {};
    const bool latencyColour = P::DisplayLatencyScreenColor(colour[0], colour[1], colour[2]);
    writer.Write8(colour, 3);

    for (int m = 0; m < 3; ++m) {
        displayFlags |= _Bit(messages.flags[m] != 0, DisplayFlag::kMessage[m]);
    }
    displayFlags |= _Bit(hmdPresent, DisplayFlag::kHmdPresent) |
                    _Bit(portrait, DisplayFlag::kPortraitMode) |
                    _Bit(resolution, DisplayFlag::kResolutionValid) |
                    _Bit(latencyColour, DisplayFlag::kLatencyColorValid);
    writer.Write32(displayFlags);
    writer.Write8(static_cast<unsigned char>(sensorCount));
    writer.Write8(Protocol::kSensorCount);
    for (int s = 0; s < Protocol::kSensorCount; ++s) {
        writer.Write32(_WriteSensor(s));
    }

    channel._replySequence = Protocol::NextSequence(channel._replySequence);
    Protocol::ReportHeader header;
    header.sessionToken = channel._sToken;
    header.clientToken = channel._clientToken;
    header.sequence = channel._replySequence;
    header.lastRequestSequence = channel._requestSequence;
    Protocol::WriteReportHeader(header, stream);
    writer.Emit(stream);
    return true;
}

} // namespace Agent
} // namespace Talmex
