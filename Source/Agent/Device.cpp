#include "Agent/Device.h"

#include "Agent/Manager.h"
#include "Agent/Network.h"
#include "Agent/OculusPlugin.h"
#include "Agent/Protocol.h"

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
constexpr size_t kReservedIntegers = 512;
constexpr size_t kReservedFloats = 512;
constexpr size_t kReservedBytes = 256;

// Reserved once, so that decoding and encoding do not allocate in the steady state.
void _Reserve(std::vector<uint32_t>& data32, std::vector<float>& dataF,
              std::vector<unsigned char>& data8)
{
    data32.reserve(kReservedIntegers);
    dataF.reserve(kReservedFloats);
    data8.reserve(kReservedBytes);
}
} // namespace

BinaryWriter::BinaryWriter()
{
    _Reserve(_data32, _dataF, _data8);
}

void BinaryWriter::Clear()
{
    _data32.clear();
    _dataF.clear();
    _data8.clear();
}

void BinaryWriter::Emit(Stream& stream) const
{
    const auto count32 = static_cast<uint32_t>(std::min<size_t>(_data32.size(), TypedBlock::kMaxIntegers));
    const auto countF = static_cast<uint32_t>(std::min<size_t>(_dataF.size(), TypedBlock::kMaxFloats));
    const auto count8 = static_cast<uint32_t>(std::min<size_t>(_data8.size(), TypedBlock::kMaxBytes));
    stream.Write32(count32 | countF << 12 | count8 << 24);
    stream.Write(_data32.data(), count32 * sizeof(uint32_t));
    stream.Write(_dataF.data(), countF * sizeof(float));
    stream.Write(_data8.data(), count8);
}

BinaryReader::BinaryReader() : _index32(0), _indexF(0), _index8(0)
{
    _Reserve(_data32, _dataF, _data8);
}

bool BinaryReader::Read(Stream& stream)
{
    const uint32_t countWord = stream.Read32();
    _index32 = 0;
    _indexF = 0;
    _index8 = 0;
    _data32.resize(countWord & TypedBlock::kMaxIntegers);
    _dataF.resize(countWord >> 12 & TypedBlock::kMaxFloats);
    _data8.resize(countWord >> 24);
    return stream.Read(_data32.data(), _data32.size() * sizeof(uint32_t)) &&
           stream.Read(_dataF.data(), _dataF.size() * sizeof(float)) &&
           stream.Read(_data8.data(), _data8.size());
}

namespace {

// True while some channel holds the headset.
bool _isLockedDevice = false;

constexpr unsigned char kReportSensorRecords = 2;

uint32_t _Bit(bool value, unsigned int bit)
{
    return static_cast<uint32_t>(value) << bit;
}

uint32_t _Clamp(int value, int low, int high)
{
    return static_cast<uint32_t>(std::min(std::max(value, low), high));
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
    flags |= _Bit(_WriteFloats(2, [](float(&v)[4]) { return P::GetScreenSize(v[0], v[1]); }), 6);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetEyeToScreenDistance(v[0]); }), 7);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetInterpupillaryDistance(v[0]); }), 8);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetLensSeparationDistance(v[0]); }), 9);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetPlayerEyeHeight(v[0]); }), 10);
    flags |= _Bit(_WriteFloats(2, [](float(&v)[4]) { return P::GetEyeOffset(v[0], v[1]); }), 11);
    flags |= _Bit(_WriteFloats(1, [](float(&v)[4]) { return P::GetScreenVCenter(v[0]); }), 12);
    flags |= _Bit(_WriteFloats(4, [](float(&v)[4]) {
        return P::GetDistortionCoefficients(v[0], v[1], v[2], v[3]);
    }), 13);
    return flags;
}

uint32_t _WriteSensor(int s)
{
    using P = OculusPlugin;
    uint32_t flags = _Bit(P::IsSensorPresent(s), 0);
    flags |= _Bit(P::IsMagCalibrated(s), 1);
    flags |= _Bit(P::IsYawCorrectionEnabled(s), 2);
    flags |= _Bit(_WriteFloats(4, [s](float(&v)[4]) {
        return P::GetSensorOrientation(s, v[0], v[1], v[2], v[3]);
    }), 3);
    flags |= _Bit(_WriteFloats(4, [s](float(&v)[4]) {
        return P::GetSensorPredictedOrientation(s, v[0], v[1], v[2], v[3]);
    }), 4);
    flags |= _Bit(_WriteFloats(1, [s](float(&v)[4]) { return P::GetSensorPredictionTime(s, v[0]); }), 5);
    flags |= _Bit(_WriteFloats(3, [s](float(&v)[4]) {
        return P::GetAcceleration(s, v[0], v[1], v[2]);
    }), 6);
    // Angular velocity and magnetometer share one validity bit.
    const bool angularVelocity = _WriteFloats(3, [s](float(&v)[4]) {
        return P::GetAngularVelocity(s, v[0], v[1], v[2]);
    });
    const bool magnetometer = _WriteFloats(3, [s](float(&v)[4]) {
        return P::GetMagnetometer(s, v[0], v[1], v[2]);
    });
    return flags | _Bit(angularVelocity || magnetometer, 7);
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
    stream.Read32(); // the magic, checked on receipt
    const uint32_t clientToken = stream.Read32();
    const uint32_t sessionToken = stream.Read32();
    const uint32_t sequence = stream.Read32();
    stream.Read32(); // not used

    if (channel._clientToken != 0 && channel._clientToken != clientToken) {
        return false;
    }
    if (sessionToken != 0 && sessionToken != channel._sToken) {
        return false;
    }
    // Signed distance modulo 2^32: repeated and older requests are refused,
    // and the order survives the wrap of the sequence.
    if (channel._requestSequence != 0 &&
        static_cast<int32_t>(sequence - channel._requestSequence) <= 0) {
        return false;
    }
    channel._clientToken = clientToken;
    channel._requestSequence = sequence;

    BinaryReader& reader = _binaryReader;
    if (!reader.Read(stream)) {
        return false;
    }

    const bool ownsDevice = channel._ownsDevice;
    if (_CounterChanged(channel._latencyInputCounter, reader.Read32()) && ownsDevice) {
        OculusPlugin::ProcessLatencyInputs();
    }
    const int sensors = std::min<int>(reader.Read8(), Channel::kSensorCount);
    for (int s = 0; s < sensors; ++s) {
        const uint32_t predictionTimeCounter = reader.Read32();
        const uint32_t yawCorrectionCounter = reader.Read32();
        const uint32_t resetOrientationCounter = reader.Read32();
        const uint32_t magYawCorrectionCounter = reader.Read32();
        const float predictionTime = reader.ReadF();
        const bool yawCorrection = reader.Read8() != 0;
        const bool magYawCorrection = reader.Read8() != 0;

        if (_CounterChanged(channel._predictionTimeCounter[s], predictionTimeCounter) && ownsDevice) {
            OculusPlugin::SetSensorPredictionTime(s, predictionTime);
        }
        if (_CounterChanged(channel._yawCorrectionCounter[s], yawCorrectionCounter) && ownsDevice) {
            OculusPlugin::EnableYawCorrection(s, yawCorrection);
        }
        if (_CounterChanged(channel._resetOrientationCounter[s], resetOrientationCounter) &&
            ownsDevice) {
            OculusPlugin::ResetSensorOrientation(s);
        }
        if (_CounterChanged(channel._magYawCorrectionCounter[s], magYawCorrectionCounter) &&
            ownsDevice) {
            OculusPlugin::EnableMagYawCorrection(s, magYawCorrection);
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
    const uint32_t sensorCount = _Clamp(P::GetSensorCount(), 0, 255);
    const bool portrait = P::RenderPortraitMode();

    int horizontal = 0;
    int vertical = 0;
    const bool resolution = P::GetScreenResolution(horizontal, vertical);
    writer.Write32(_Clamp(horizontal, 0, 0xFFFF) | _Clamp(vertical, 0, 0xFFFF) << 16);

    uint32_t displayFlags = _WriteDisplay();

    unsigned char colour[3] = {};
    const bool latencyColour = P::DisplayLatencyScreenColor(colour[0], colour[1], colour[2]);
    writer.Write8(colour, 3);

    displayFlags |= _Bit(messages.flags[0] != 0, 0) | _Bit(messages.flags[1] != 0, 1) |
                    _Bit(messages.flags[2] != 0, 2) | _Bit(hmdPresent, 3) | _Bit(portrait, 4) |
                    _Bit(resolution, 5) | _Bit(latencyColour, 14);
    writer.Write32(displayFlags);
    writer.Write8(static_cast<unsigned char>(sensorCount));
    writer.Write8(kReportSensorRecords);
    for (int s = 0; s < kReportSensorRecords; ++s) {
        writer.Write32(_WriteSensor(s));
    }

    // Report sequence 0 is never sent.
    if (++channel._replySequence == 0) {
        channel._replySequence = 1;
    }
    stream.Write(Protocol::kMagic, sizeof Protocol::kMagic);
    stream.Write32(channel._sToken);
    stream.Write32(channel._clientToken);
    stream.Write32(channel._replySequence);
    stream.Write32(channel._requestSequence);
    writer.Emit(stream);
    return true;
}

} // namespace Agent
} // namespace Talmex
