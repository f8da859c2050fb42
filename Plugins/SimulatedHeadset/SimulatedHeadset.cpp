// A simulated headset: a 1280 x 800 display with its lens geometry in metres
// and one head sensor that follows HeadMotion. It answers only between
// OVR_Initialize and OVR_Destroy, as a headset that is switched on.
//
// Message flags of OVR_Update: the first is set once after the headset was
// started, the second once when a latency measurement has finished; the third
// is never set.

#include "Agent/OculusPluginEntryPoints.h"
#include "HeadMotion.h"

#include <cmath>
#include <time.h>

using SimulatedHeadset::HeadMotion;
using SimulatedHeadset::Quaternion;
using SimulatedHeadset::Vector3;

namespace
{

constexpr int kSensorCount = 1;
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 800;
constexpr float kScreenSize[2] = {0.14976f, 0.0936f};
constexpr float kEyeToScreenDistance = 0.041f;
constexpr float kInterpupillaryDistance = 0.064f;
constexpr float kLensSeparationDistance = 0.0635f;
constexpr float kPlayerEyeHeight = 1.675f;
constexpr float kEyeOffset[2] = {-0.032f, 0.032f};
constexpr float kDistortion[4] = {1.0f, 0.22f, 0.24f, 0.0f};
constexpr double kDefaultPredictionSeconds = 0.03;
constexpr double kMaxPredictionSeconds = 0.5;
// Yaw drift of an uncorrected gyroscope, radians per second.
constexpr double kYawDriftRate = 0.0017;
constexpr Vector3 kGravity = {0, 9.80665, 0};
// Earth's field in gauss, pointing north (-z) and down.
constexpr Vector3 kMagneticField = {0, -0.42, -0.21};
constexpr double kLatencyFlashSeconds = 0.1;
constexpr double kLatencyTestSeconds = 0.2;

double MonotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Sensor {
    double predictionSeconds = kDefaultPredictionSeconds;
    bool yawCorrection = true;
    bool magYawCorrection = false;
    // Drift gathered while yaw correction was off, up to driftSince.
    double drift = 0;
    double driftSince = 0;
    Quaternion reset = Quaternion::Identity();
};

struct Headset {
    bool isOn = false;
    double startTime = 0;
    bool announceStart = false;
    Sensor sensor;
    double latencyTestStart = -1;
    bool latencyResultPending = false;
    bool hasLatencyResult = false;
};

Headset _headset;

double Now()
{
    return MonotonicSeconds() - _headset.startTime;
}

bool IsLiveSensor(int sensor)
{
    return _headset.isOn && sensor >= 0 && sensor < kSensorCount;
}

double DriftAt(double t)
{
    const Sensor &s = _headset.sensor;
    return s.yawCorrection ? s.drift : s.drift + kYawDriftRate * (t - s.driftSince);
}

// What the sensor reports: the true motion with its drift, after any reset.
Quaternion ReportedOrientationAt(double t)
{
    const Quaternion drifted =
        Quaternion::AboutAxis({0, 1, 0}, DriftAt(t)) * HeadMotion::OrientationAt(t);
    return _headset.sensor.reset * drifted;
}

void UpdateLatencyTest(double t)
{
    if (_headset.latencyTestStart >= 0 && t - _headset.latencyTestStart >= kLatencyTestSeconds) {
        _headset.latencyTestStart = -1;
        _headset.latencyResultPending = true;
        _headset.hasLatencyResult = true;
    }
}

template <class T> void Store(T *destination, T value)
{
    if (destination != nullptr) {
        *destination = value;
    }
}

void StoreQuaternion(const Quaternion &q, float *w, float *x, float *y, float *z)
{
    Store(w, static_cast<float>(q.w));
    Store(x, static_cast<float>(q.x));
    Store(y, static_cast<float>(q.y));
    Store(z, static_cast<float>(q.z));
}

void StoreVector(const Vector3 &v, float *x, float *y, float *z)
{
    Store(x, static_cast<float>(v.x));
    Store(y, static_cast<float>(v.y));
    Store(z, static_cast<float>(v.z));
}

template <class T> OVR_Bool StoreIfOn(T *destination, T value)
{
    if (!_headset.isOn) {
        return 0;
    }
    Store(destination, value);
    return 1;
}

} // namespace

extern "C" {

OVR_Bool OVR_Update(OVR_MessageList *messages)
{
    if (!_headset.isOn) {
        return 0;
    }
    UpdateLatencyTest(Now());
    if (messages != nullptr) {
        messages->flags[0] = _headset.announceStart ? 1 : 0;
        messages->flags[1] = _headset.latencyResultPending ? 1 : 0;
    }
    _headset.announceStart = false;
    _headset.latencyResultPending = false;
    return 1;
}

OVR_Bool OVR_Initialize()
{
    _headset = Headset();
    _headset.isOn = true;
    _headset.startTime = MonotonicSeconds();
    _headset.announceStart = true;
    return 1;
}

OVR_Bool OVR_Destroy()
{
    const bool wasOn = _headset.isOn;
    _headset.isOn = false;
    return wasOn ? 1 : 0;
}

int OVR_GetSensorCount()
{
    return _headset.isOn ? kSensorCount : 0;
}

OVR_Bool OVR_IsHMDPresent()
{
    return _headset.isOn ? 1 : 0;
}

OVR_Bool OVR_GetSensorOrientation(int sensor, float *w, float *x, float *y, float *z)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    StoreQuaternion(ReportedOrientationAt(Now()), w, x, y, z);
    return 1;
}

OVR_Bool OVR_GetSensorPredictedOrientation(int sensor, float *w, float *x, float *y, float *z)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    StoreQuaternion(ReportedOrientationAt(Now() + _headset.sensor.predictionSeconds), w, x, y, z);
    return 1;
}

OVR_Bool OVR_GetSensorPredictionTime(int sensor, float *seconds)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    Store(seconds, static_cast<float>(_headset.sensor.predictionSeconds));
    return 1;
}

OVR_Bool OVR_SetSensorPredictionTime(int sensor, float seconds)
{
    if (!IsLiveSensor(sensor) || !(seconds >= 0 && seconds <= kMaxPredictionSeconds)) {
        return 0;
    }
    _headset.sensor.predictionSeconds = seconds;
    return 1;
}

OVR_Bool OVR_EnableYawCorrection(int sensor, OVR_Bool enable)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    Sensor &s = _headset.sensor;
    const double t = Now();
    if (enable != 0) {
        // Correction pulls the heading back to magnetic north at once.
        s.drift = 0;
    } else if (s.yawCorrection) {
        s.driftSince = t;
    }
    s.yawCorrection = enable != 0;
    return 1;
}

OVR_Bool OVR_ResetSensorOrientation(int sensor)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    _headset.sensor.reset = Quaternion::Identity();
    _headset.sensor.reset = ReportedOrientationAt(Now()).Conjugate();
    return 1;
}

OVR_Bool OVR_GetAcceleration(int sensor, float *x, float *y, float *z)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    StoreVector(HeadMotion::OrientationAt(Now()).ToLocal(kGravity), x, y, z);
    return 1;
}

OVR_Bool OVR_GetAngularVelocity(int sensor, float *x, float *y, float *z)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    StoreVector(HeadMotion::AngularVelocityAt(Now()), x, y, z);
    return 1;
}

OVR_Bool OVR_GetMagnetometer(int sensor, float *x, float *y, float *z)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    StoreVector(HeadMotion::OrientationAt(Now()).ToLocal(kMagneticField), x, y, z);
    return 1;
}

OVR_Bool OVR_IsSensorPresent(int sensor)
{
    return IsLiveSensor(sensor) ? 1 : 0;
}

const char *OVR_GetDisplayDeviceName()
{
    return _headset.isOn ? "Simulated Headset" : nullptr;
}

OVR_Bool OVR_GetScreenResolution(int *horizontal, int *vertical)
{
    StoreIfOn(vertical, kScreenHeight);
    return StoreIfOn(horizontal, kScreenWidth);
}

OVR_Bool OVR_GetScreenSize(float *horizontal, float *vertical)
{
    StoreIfOn(vertical, kScreenSize[1]);
    return StoreIfOn(horizontal, kScreenSize[0]);
}

OVR_Bool OVR_GetEyeToScreenDistance(float *distance)
{
    return StoreIfOn(distance, kEyeToScreenDistance);
}

OVR_Bool OVR_GetInterpupillaryDistance(float *distance)
{
    return StoreIfOn(distance, kInterpupillaryDistance);
}

OVR_Bool OVR_GetLensSeparationDistance(float *distance)
{
    return StoreIfOn(distance, kLensSeparationDistance);
}

OVR_Bool OVR_GetPlayerEyeHeight(float *height)
{
    return StoreIfOn(height, kPlayerEyeHeight);
}

OVR_Bool OVR_GetEyeOffset(float *left, float *right)
{
    StoreIfOn(right, kEyeOffset[1]);
    return StoreIfOn(left, kEyeOffset[0]);
}

OVR_Bool OVR_GetScreenVCenter(float *center)
{
    return StoreIfOn(center, kScreenSize[1] / 2);
}

OVR_Bool OVR_GetDistortionCoefficients(float *k0, float *k1, float *k2, float *k3)
{
    StoreIfOn(k1, kDistortion[1]);
    StoreIfOn(k2, kDistortion[2]);
    StoreIfOn(k3, kDistortion[3]);
    return StoreIfOn(k0, kDistortion[0]);
}

OVR_Bool OVR_RenderPortraitMode()
{
    return 0;
}

// Starts a latency measurement: the tester's patch flashes white, then black.
void OVR_ProcessLatencyInputs()
{
    if (_headset.isOn) {
        _headset.latencyTestStart = Now();
    }
}

OVR_Bool OVR_DisplayLatencyScreenColor(unsigned char *r, unsigned char *g, unsigned char *b)
{
    if (!_headset.isOn || _headset.latencyTestStart < 0) {
        return 0;
    }
    const unsigned char level = Now() - _headset.latencyTestStart < kLatencyFlashSeconds ? 255 : 0;
    Store(r, level);
    Store(g, level);
    Store(b, level);
    return 1;
}

const char *OVR_GetLatencyResultsString()
{
    return _headset.isOn && _headset.hasLatencyResult ? "RESULT=16.7 ms" : nullptr;
}

OVR_Bool OVR_IsMagCalibrated(int sensor)
{
    return IsLiveSensor(sensor) && _headset.sensor.magYawCorrection ? 1 : 0;
}

OVR_Bool OVR_EnableMagYawCorrection(int sensor, OVR_Bool enable)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    _headset.sensor.magYawCorrection = enable != 0;
    return 1;
}

OVR_Bool OVR_IsYawCorrectionEnabled(int sensor)
{
    return IsLiveSensor(sensor) && _headset.sensor.yawCorrection ? 1 : 0;
}

} // extern "C"
