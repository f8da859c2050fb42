// A real headset through OpenHMD. OVR_Initialize probes OpenHMD's devices,
// chooses one (DeviceChoice.h) and opens it; OVR_Update ticks it on the
// agent's service thread and reads its orientation; OVR_Destroy closes it
// and the OpenHMD context with it, so every time a host takes the headset it
// is probed afresh.
//
// What OpenHMD 0.3.0 does not know (player eye height, portrait mode, the
// latency tester, magnetometer calibration, yaw correction, and for real
// devices acceleration and magnetometer) is answered false, its values left
// zero. TALMEX_OPENHMD_DEVICE=external with TALMEX_REPLAY=FILE feeds a
// recording into OpenHMD's External device (ExternalFeed.h); sensor 1 then
// carries the recorded sample last fed, the truth to compare sensor 0 with.
//
// Message flags of OVR_Update: the first is set once after the headset was
// opened; the others are never set. Nothing is ever written to standard
// output or error, and nothing is allocated after OVR_Initialize.

#include "MonotonicClock.h"
#include "OutParameters.h"
#include "Plugin/EntryPoints.h"
#include "Prediction.h"
#include "Session.h"

#include <cstdlib>

using Headsets::Quaternion;
using Headsets::Store;
using Headsets::StoreQuaternion;
using Headsets::Vector3;
using OpenHmdHeadset::Display;
using Talmex::Protocol::SensorState;

namespace OpenHmdHeadset {

namespace {

constexpr int kHeadSensor = 0;
constexpr int kTruthSensor = 1;

Session& _session = TheSession();
double _predictionSeconds = Headsets::kDefaultPredictionSeconds;

bool _IsHead(int sensor)
{
    return sensor == kHeadSensor && _session.IsOpen();
}

// The recorded sample last fed to the External device, or null.
const SensorState* _Recorded()
{
    const ExternalFeed* feed = _session.Feed();
    return _session.IsOpen() && feed != nullptr && feed->HasFed() ? &feed->LastFed().sensors[0]
                                                                  : nullptr;
}

const SensorState* _TruthSensor(int sensor)
{
    return sensor == kTruthSensor ? _Recorded() : nullptr;
}

OVR_Bool _StoreVector(const float (&v)[3], bool valid, float* x, float* y, float* z)
{
    Store(x, v[0]);
    Store(y, v[1]);
    Store(z, v[2]);
    return valid ? 1 : 0;
}

// The fed acceleration or magnetometer, on either sensor: the head sensor
// measured what the recording holds.
OVR_Bool _StoreRecordedVector(int sensor, const float (SensorState::*vector)[3],
                              bool SensorState::*valid, float* x, float* y, float* z)
{
    const SensorState* recorded = _Recorded();
    if (recorded == nullptr || (sensor != kHeadSensor && sensor != kTruthSensor)) {
        return 0;
    }
    return _StoreVector(recorded->*vector, recorded->*valid, x, y, z);
}

template <class T>
OVR_Bool _StoreDisplay(T Display::*value, T* out)
{
    if (!_session.IsOpen()) {
        return 0;
    }
    Store(out, _session.GetDisplay().*value);
    return 1;
}

template <class T>
OVR_Bool _StoreDisplayPair(T (Display::*values)[2], T* first, T* second)
{
    if (!_session.IsOpen()) {
        return 0;
    }
    Store(first, (_session.GetDisplay().*values)[0]);
    Store(second, (_session.GetDisplay().*values)[1]);
    return 1;
}

} // namespace

} // namespace OpenHmdHeadset

using namespace OpenHmdHeadset;

extern "C" {

OVR_Bool OVR_Update(OVR_MessageList* messages)
{
    if (!_session.Update(Headsets::MonotonicSeconds())) {
        return 0;
    }
    if (messages != nullptr) {
        messages->flags[0] = _session.TakeStarted() ? 1 : 0;
    }
    return 1;
}

OVR_Bool OVR_Initialize()
{
    _predictionSeconds = Headsets::kDefaultPredictionSeconds;
    return _session.Open(std::getenv("TALMEX_OPENHMD_DEVICE"), std::getenv("TALMEX_REPLAY"),
                         Headsets::MonotonicSeconds())
               ? 1
               : 0;
}

OVR_Bool OVR_Destroy()
{
    const bool wasOpen = _session.IsOpen();
    _session.Close();
    return wasOpen ? 1 : 0;
}

int OVR_GetSensorCount()
{
    if (!_session.IsOpen()) {
        return 0;
    }
    return _session.Feed() != nullptr ? 2 : 1;
}

OVR_Bool OVR_IsHMDPresent()
{
    return _session.IsOpen() ? 1 : 0;
}

OVR_Bool OVR_GetSensorOrientation(int sensor, float* w, float* x, float* y, float* z)
{
    if (const SensorState* truth = _TruthSensor(sensor)) {
        const float(&q)[4] = truth->orientation;
        StoreQuaternion({q[0], q[1], q[2], q[3]}, w, x, y, z);
        return truth->orientationValid ? 1 : 0;
    }
    if (!_IsHead(sensor) || !_session.Tracker().HasOrientation()) {
        return 0;
    }
    StoreQuaternion(_session.Tracker().Orientation(), w, x, y, z);
    return 1;
}

OVR_Bool OVR_GetSensorPredictedOrientation(int sensor, float* w, float* x, float* y, float* z)
{
    if (!_IsHead(sensor) || !_session.Tracker().HasOrientation()) {
        return 0;
    }
    const OrientationTracker& tracker = _session.Tracker();
    Vector3 velocity;
    if (!tracker.AngularVelocity(velocity)) {
        StoreQuaternion(tracker.Orientation(), w, x, y, z);
        return 0;
    }
    StoreQuaternion(Headsets::Extrapolate(tracker.Orientation(), velocity, _predictionSeconds), w,
                    x, y, z);
    return 1;
}

OVR_Bool OVR_GetSensorPredictionTime(int sensor, float* seconds)
{
    if (!_IsHead(sensor)) {
        return 0;
    }
    Store(seconds, static_cast<float>(_predictionSeconds));
    return 1;
}

OVR_Bool OVR_SetSensorPredictionTime(int sensor, float seconds)
{
    if (!_IsHead(sensor) || !Headsets::IsPredictionTime(seconds)) {
        return 0;
    }
    _predictionSeconds = seconds;
    return 1;
}

OVR_Bool OVR_EnableYawCorrection(int, OVR_Bool)
{
    return 0;
}

OVR_Bool OVR_ResetSensorOrientation(int sensor)
{
    if (!_IsHead(sensor) || !_session.Tracker().HasOrientation()) {
        return 0;
    }
    _session.Tracker().Reset();
    return 1;
}

OVR_Bool OVR_GetAcceleration(int sensor, float* x, float* y, float* z)
{
    return _StoreRecordedVector(sensor, &SensorState::acceleration, &SensorState::accelerationValid,
                                x, y, z);
}

OVR_Bool OVR_GetAngularVelocity(int sensor, float* x, float* y, float* z)
{
    if (const SensorState* truth = _TruthSensor(sensor)) {
        return _StoreVector(truth->angularVelocity, truth->angularVelocityOrMagnetometerValid, x, y,
                            z);
    }
    Vector3 velocity;
    if (!_IsHead(sensor) || !_session.Tracker().AngularVelocity(velocity)) {
        return 0;
    }
    const float v[3] = {static_cast<float>(velocity.x), static_cast<float>(velocity.y),
                        static_cast<float>(velocity.z)};
    return _StoreVector(v, true, x, y, z);
}

OVR_Bool OVR_GetMagnetometer(int sensor, float* x, float* y, float* z)
{
    return _StoreRecordedVector(sensor, &SensorState::magnetometer,
                                &SensorState::angularVelocityOrMagnetometerValid, x, y, z);
}

OVR_Bool OVR_IsSensorPresent(int sensor)
{
    return _IsHead(sensor) || _TruthSensor(sensor) != nullptr ? 1 : 0;
}

const char* OVR_GetDisplayDeviceName()
{
    return _session.IsOpen() ? _session.Entry().product.c_str() : nullptr;
}

OVR_Bool OVR_GetScreenResolution(int* horizontal, int* vertical)
{
    return _StoreDisplayPair(&Display::resolution, horizontal, vertical);
}

OVR_Bool OVR_GetScreenSize(float* horizontal, float* vertical)
{
    return _StoreDisplayPair(&Display::screenSize, horizontal, vertical);
}

OVR_Bool OVR_GetEyeToScreenDistance(float* distance)
{
    return _StoreDisplay(&Display::eyeToScreenDistance, distance);
}

OVR_Bool OVR_GetInterpupillaryDistance(float* distance)
{
    return _StoreDisplay(&Display::interpupillaryDistance, distance);
}

OVR_Bool OVR_GetLensSeparationDistance(float* distance)
{
    return _StoreDisplay(&Display::lensSeparationDistance, distance);
}

OVR_Bool OVR_GetPlayerEyeHeight(float*)
{
    return 0;
}

OVR_Bool OVR_GetEyeOffset(float* left, float* right)
{
    return _StoreDisplayPair(&Display::eyeOffset, left, right);
}

OVR_Bool OVR_GetScreenVCenter(float* center)
{
    return _StoreDisplay(&Display::screenVCenter, center);
}

OVR_Bool OVR_GetDistortionCoefficients(float* k0, float* k1, float* k2, float* k3)
{
    if (!_session.IsOpen()) {
        return 0;
    }
    const float(&k)[4] = _session.GetDisplay().distortion;
    Store(k0, k[0]);
    Store(k1, k[1]);
    Store(k2, k[2]);
    Store(k3, k[3]);
    return 1;
}

OVR_Bool OVR_RenderPortraitMode()
{
    return 0;
}

void OVR_ProcessLatencyInputs() {}

OVR_Bool OVR_DisplayLatencyScreenColor(unsigned char*, unsigned char*, unsigned char*)
{
    return 0;
}

const char* OVR_GetLatencyResultsString()
{
    return nullptr;
}

OVR_Bool OVR_IsMagCalibrated(int)
{
    return 0;
}

OVR_Bool OVR_EnableMagYawCorrection(int, OVR_Bool)
{
    return 0;
}

OVR_Bool OVR_IsYawCorrectionEnabled(int)
{
    return 0;
}

} // extern "C"
