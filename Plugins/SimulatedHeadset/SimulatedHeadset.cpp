// A simulated headset. What it measures comes from a sample source: the
// synthetic one (a 1280 x 800 display and one head sensor following
// HeadMotion), or, when TALMEX_REPLAY names a recording, the recorded
// reports in their recorded timing, looped. Each OVR_Update takes a sample,
// as a device's update does; the host's commands act on top of it: reset
// re-centres the orientation, prediction extrapolates from the angular
// velocity, yaw correction off lets the heading drift. It answers only
// between OVR_Initialize and OVR_Destroy, as a headset that is switched on.
// A recording that cannot be replayed makes the headset absent, with one line
// on standard error saying why.
//
// Message flags of OVR_Update: the first is set once after the headset was
// started, the second once when a latency measurement has finished; the third
// is never set.

#include "MonotonicClock.h"
#include "OutParameters.h"
#include "Plugin/EntryPoints.h"
#include "Prediction.h"
#include "ReplaySource.h"
#include "SyntheticSource.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <future>
#include <memory>

using Headsets::MonotonicSeconds;
using Headsets::Quaternion;
using Headsets::Sample;
using Headsets::SampleSource;
using Headsets::Store;
using Headsets::StoreQuaternion;
using Talmex::Protocol::SensorState;

namespace {

constexpr int kSensors = Talmex::Protocol::kSensorCount;
// Yaw drift of an uncorrected gyroscope, radians per second.
constexpr double kYawDriftRate = 0.0017;
constexpr double kLatencyFlashSeconds = 0.1;
constexpr double kLatencyTestSeconds = 0.2;

// The synthetic motion, or the recording TALMEX_REPLAY names. A recording is
// read on a thread of its own from the moment the plug-in is loaded, so that
// a long one does not hold up the agent's start; the first OVR_Initialize
// waits for it. One that cannot be replayed leaves the headset absent, and
// one line on standard error says why.
class Source {
public:
    Source()
    {
        const char* path = std::getenv("TALMEX_REPLAY");
        if (path == nullptr || *path == '\0') {
            _source = std::make_unique<SimulatedHeadset::SyntheticSource>();
            return;
        }
        try {
            _loading = std::async(std::launch::async, &Source::_Load, std::string(path));
        } catch (const std::exception& exception) {
            _Absent(exception.what());
        }
    }

    // The source, once read; null when it cannot be replayed.
    const SampleSource* Wait()
    {
        if (_loading.valid()) {
            _source = _loading.get();
        }
        return _source.get();
    }

private:
    static void _Absent(const std::string& reason)
    {
        std::fprintf(stderr, "simulated headset: no replay, headset absent: %s\n", reason.c_str());
    }

    static std::unique_ptr<SampleSource> _Load(std::string path)
    {
        std::string error;
        std::unique_ptr<SampleSource> replay = Headsets::ReplaySource::Load(path, error);
        if (!replay) {
            _Absent(error);
        }
        return replay;
    }

    std::future<std::unique_ptr<SampleSource>> _loading;
    std::unique_ptr<SampleSource> _source;
};

Source _source;

// What the host's commands have set on one sensor.
struct Sensor {
    double predictionSeconds = Headsets::kDefaultPredictionSeconds;
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
    double sampleTime = 0;
    Sample sample;
    bool announceStart = false;
    Sensor sensors[kSensors];
    double latencyTestStart = -1;
    bool latencyResultPending = false;
    bool hasLatencyResult = false;
};

Headset _headset;

double Now()
{
    return MonotonicSeconds() - _headset.startTime;
}

void TakeSample(double t)
{
    _headset.sampleTime = t;
    _source.Wait()->SampleAt(t, _headset.sample);
}

bool IsLiveSensor(int sensor)
{
    return _headset.isOn && sensor >= 0 && sensor < kSensors &&
           _headset.sample.sensors[sensor].present;
}

Quaternion QuaternionOf(const float (&q)[4])
{
    return {q[0], q[1], q[2], q[3]};
}

double DriftOf(const Sensor& s)
{
    return s.yawCorrection ? s.drift
                           : s.drift + kYawDriftRate * (_headset.sampleTime - s.driftSince);
}

// What the sensor reports: the measured orientation with its drift, after any reset.
Quaternion ReportedOrientation(int sensor)
{
    const Sensor& s = _headset.sensors[sensor];
    const Quaternion measured = QuaternionOf(_headset.sample.sensors[sensor].orientation);
    return s.reset * Quaternion::AboutAxis({0, 1, 0}, DriftOf(s)) * measured;
}

// The orientation the sensor will have after the prediction time if it keeps
// turning at its present angular velocity (head frame).
Quaternion PredictedOrientation(int sensor)
{
    const float(&w)[3] = _headset.sample.sensors[sensor].angularVelocity;
    return Headsets::Extrapolate(ReportedOrientation(sensor), {w[0], w[1], w[2]},
                                 _headset.sensors[sensor].predictionSeconds);
}

void UpdateLatencyTest(double t)
{
    if (_headset.latencyTestStart >= 0 && t - _headset.latencyTestStart >= kLatencyTestSeconds) {
        _headset.latencyTestStart = -1;
        _headset.latencyResultPending = true;
        _headset.hasLatencyResult = true;
    }
}

// Stores the sample's values while the headset is on; the result is their
// validity flag.
template <size_t N>
OVR_Bool StoreValues(const float (&values)[N], bool valid, float* const (&to)[N])
{
    if (!_headset.isOn) {
        return 0;
    }
    for (size_t i = 0; i < N; ++i) {
        Store(to[i], values[i]);
    }
    return valid ? 1 : 0;
}

OVR_Bool StoreValue(float value, bool valid, float* to)
{
    const float values[1] = {value};
    return StoreValues(values, valid, {to});
}

OVR_Bool StoreSensorVector(int sensor, const float (SensorState::*vector)[3],
                           bool SensorState::*valid, float* x, float* y, float* z)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    const SensorState& s = _headset.sample.sensors[sensor];
    return StoreValues(s.*vector, s.*valid, {x, y, z});
}

} // namespace

extern "C" {

OVR_Bool OVR_Update(OVR_MessageList* messages)
{
    if (!_headset.isOn) {
        return 0;
    }
    const double t = Now();
    TakeSample(t);
    UpdateLatencyTest(t);
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
    if (_source.Wait() == nullptr) {
        return 0;
    }
    _headset = Headset();
    _headset.isOn = true;
    _headset.startTime = MonotonicSeconds();
    _headset.announceStart = true;
    TakeSample(0);
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
    return _headset.isOn ? _headset.sample.sensorCount : 0;
}

OVR_Bool OVR_IsHMDPresent()
{
    return _headset.isOn && _headset.sample.display.hmdPresent ? 1 : 0;
}

OVR_Bool OVR_GetSensorOrientation(int sensor, float* w, float* x, float* y, float* z)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    StoreQuaternion(ReportedOrientation(sensor), w, x, y, z);
    return _headset.sample.sensors[sensor].orientationValid ? 1 : 0;
}

OVR_Bool OVR_GetSensorPredictedOrientation(int sensor, float* w, float* x, float* y, float* z)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    StoreQuaternion(PredictedOrientation(sensor), w, x, y, z);
    const SensorState& s = _headset.sample.sensors[sensor];
    return s.orientationValid && s.angularVelocityOrMagnetometerValid ? 1 : 0;
}

OVR_Bool OVR_GetSensorPredictionTime(int sensor, float* seconds)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    Store(seconds, static_cast<float>(_headset.sensors[sensor].predictionSeconds));
    return 1;
}

OVR_Bool OVR_SetSensorPredictionTime(int sensor, float seconds)
{
    if (!IsLiveSensor(sensor) || !Headsets::IsPredictionTime(seconds)) {
        return 0;
    }
    _headset.sensors[sensor].predictionSeconds = seconds;
    return 1;
}

OVR_Bool OVR_EnableYawCorrection(int sensor, OVR_Bool enable)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    Sensor& s = _headset.sensors[sensor];
    if (enable != 0) {
        // Correction pulls the heading back to magnetic north at once.
        s.drift = 0;
    } else if (s.yawCorrection) {
        s.driftSince = _headset.sampleTime;
    }
    s.yawCorrection = enable != 0;
    return 1;
}

OVR_Bool OVR_ResetSensorOrientation(int sensor)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    Sensor& s = _headset.sensors[sensor];
    s.reset = Quaternion::Identity();
    s.reset = ReportedOrientation(sensor).Conjugate();
    return 1;
}

OVR_Bool OVR_GetAcceleration(int sensor, float* x, float* y, float* z)
{
    return StoreSensorVector(sensor, &SensorState::acceleration, &SensorState::accelerationValid, x,
                             y, z);
}

OVR_Bool OVR_GetAngularVelocity(int sensor, float* x, float* y, float* z)
{
    return StoreSensorVector(sensor, &SensorState::angularVelocity,
                             &SensorState::angularVelocityOrMagnetometerValid, x, y, z);
}

OVR_Bool OVR_GetMagnetometer(int sensor, float* x, float* y, float* z)
{
    return StoreSensorVector(sensor, &SensorState::magnetometer,
                             &SensorState::angularVelocityOrMagnetometerValid, x, y, z);
}

OVR_Bool OVR_IsSensorPresent(int sensor)
{
    return IsLiveSensor(sensor) ? 1 : 0;
}

const char* OVR_GetDisplayDeviceName()
{
    return _headset.isOn ? "Simulated Headset" : nullptr;
}

OVR_Bool OVR_GetScreenResolution(int* horizontal, int* vertical)
{
    if (!_headset.isOn) {
        return 0;
    }
    const Talmex::Protocol::DisplayState& d = _headset.sample.display;
    Store(horizontal, static_cast<int>(d.resolution[0]));
    Store(vertical, static_cast<int>(d.resolution[1]));
    return d.resolutionValid ? 1 : 0;
}

OVR_Bool OVR_GetScreenSize(float* horizontal, float* vertical)
{
    const Talmex::Protocol::DisplayState& d = _headset.sample.display;
    return StoreValues(d.screenSize, d.screenSizeValid, {horizontal, vertical});
}

OVR_Bool OVR_GetEyeToScreenDistance(float* distance)
{
    const Talmex::Protocol::DisplayState& d = _headset.sample.display;
    return StoreValue(d.eyeToScreenDistance, d.eyeToScreenDistanceValid, distance);
}

OVR_Bool OVR_GetInterpupillaryDistance(float* distance)
{
    const Talmex::Protocol::DisplayState& d = _headset.sample.display;
    return StoreValue(d.interpupillaryDistance, d.interpupillaryDistanceValid, distance);
}

OVR_Bool OVR_GetLensSeparationDistance(float* distance)
{
    const Talmex::Protocol::DisplayState& d = _headset.sample.display;
    return StoreValue(d.lensSeparationDistance, d.lensSeparationDistanceValid, distance);
}

OVR_Bool OVR_GetPlayerEyeHeight(float* height)
{
    const Talmex::Protocol::DisplayState& d = _headset.sample.display;
    return StoreValue(d.playerEyeHeight, d.playerEyeHeightValid, height);
}

OVR_Bool OVR_GetEyeOffset(float* left, float* right)
{
    const Talmex::Protocol::DisplayState& d = _headset.sample.display;
    return StoreValues(d.eyeOffset, d.eyeOffsetValid, {left, right});
}

OVR_Bool OVR_GetScreenVCenter(float* center)
{
    const Talmex::Protocol::DisplayState& d = _headset.sample.display;
    return StoreValue(d.screenVCenter, d.screenVCenterValid, center);
}

OVR_Bool OVR_GetDistortionCoefficients(float* k0, float* k1, float* k2, float* k3)
{
    const Talmex::Protocol::DisplayState& d = _headset.sample.display;
    return StoreValues(d.distortionCoefficients, d.distortionCoefficientsValid, {k0, k1, k2, k3});
}

OVR_Bool OVR_RenderPortraitMode()
{
    return _headset.isOn && _headset.sample.display.portraitMode ? 1 : 0;
}

// Starts a latency measurement: the tester's patch flashes white, then black.
void OVR_ProcessLatencyInputs()
{
    if (_headset.isOn) {
        _headset.latencyTestStart = Now();
    }
}

OVR_Bool OVR_DisplayLatencyScreenColor(unsigned char* r, unsigned char* g, unsigned char* b)
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

const char* OVR_GetLatencyResultsString()
{
    return _headset.isOn && _headset.hasLatencyResult ? "RESULT=16.7 ms" : nullptr;
}

OVR_Bool OVR_IsMagCalibrated(int sensor)
{
    return IsLiveSensor(sensor) && _headset.sensors[sensor].magYawCorrection ? 1 : 0;
}

OVR_Bool OVR_EnableMagYawCorrection(int sensor, OVR_Bool enable)
{
    if (!IsLiveSensor(sensor)) {
        return 0;
    }
    _headset.sensors[sensor].magYawCorrection = enable != 0;
    return 1;
}

OVR_Bool OVR_IsYawCorrectionEnabled(int sensor)
{
    return IsLiveSensor(sensor) && _headset.sensors[sensor].yawCorrection ? 1 : 0;
}

} // extern "C"
