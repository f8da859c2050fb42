#include "SyntheticSource.h"

#include "Earth.h"
#include "HeadMotion.h"

#include <algorithm>

namespace SimulatedHeadset {

namespace {

constexpr float kScreenSize[2] = {0.14976f, 0.0936f};
constexpr float kEyeToScreenDistance = 0.041f;
constexpr float kInterpupillaryDistance = 0.064f;
constexpr float kLensSeparationDistance = 0.0635f;
constexpr float kPlayerEyeHeight = 1.675f;
constexpr float kEyeOffset[2] = {-0.032f, 0.032f};
constexpr float kDistortion[4] = {1.0f, 0.22f, 0.24f, 0.0f};

template <size_t N>
void Copy(const float (&from)[N], float (&to)[N])
{
    std::copy(from, from + N, to);
}

void Store(const Quaternion& q, float (&to)[4])
{
    const double components[4] = {q.w, q.x, q.y, q.z};
    std::copy(components, components + 4, to);
}

void Store(const Vector3& v, float (&to)[3])
{
    const double components[3] = {v.x, v.y, v.z};
    std::copy(components, components + 3, to);
}

Sample MakeDisplay()
{
    Sample sample;
    Talmex::Protocol::DisplayState& d = sample.display;
    d.hmdPresent = true;
    d.resolutionValid = d.screenSizeValid = d.eyeToScreenDistanceValid = true;
    d.interpupillaryDistanceValid = d.lensSeparationDistanceValid = true;
    d.playerEyeHeightValid = d.eyeOffsetValid = d.screenVCenterValid = true;
    d.distortionCoefficientsValid = true;
    d.resolution[0] = 1280;
    d.resolution[1] = 800;
    Copy(kScreenSize, d.screenSize);
    d.eyeToScreenDistance = kEyeToScreenDistance;
    d.interpupillaryDistance = kInterpupillaryDistance;
    d.lensSeparationDistance = kLensSeparationDistance;
    d.playerEyeHeight = kPlayerEyeHeight;
    Copy(kEyeOffset, d.eyeOffset);
    d.screenVCenter = kScreenSize[1] / 2;
    Copy(kDistortion, d.distortionCoefficients);
    sample.sensorCount = 1;
    Talmex::Protocol::SensorState& s = sample.sensors[0];
    s.present = s.orientationValid = s.accelerationValid = true;
    s.angularVelocityOrMagnetometerValid = true;
    return sample;
}

} // namespace

void SyntheticSource::SampleAt(double t, Sample& sample) const
{
    static const Sample display = MakeDisplay();
    sample = display;
    Talmex::Protocol::SensorState& sensor = sample.sensors[0];
    const Quaternion orientation = HeadMotion::OrientationAt(t);
    Store(orientation, sensor.orientation);
    Store(HeadMotion::AngularVelocityAt(t), sensor.angularVelocity);
    Store(orientation.ToLocal(Headsets::kGravity), sensor.acceleration);
    Store(orientation.ToLocal(Headsets::kEarthField), sensor.magnetometer);
}

} // namespace SimulatedHeadset
