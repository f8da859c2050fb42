#include "Agent/OculusPlugin.h"

#include "Common/File.h"
#include "Plugin/Location.h"

#include <dlfcn.h>

namespace Talmex {
namespace Agent {

namespace {

void* _dylibHandle = nullptr;

#define TALMEX_DEFINE_SLOT(name) decltype(&OVR_##name) _ovr##name = nullptr;
TALMEX_OVR_ENTRY_POINTS(TALMEX_DEFINE_SLOT)
#undef TALMEX_DEFINE_SLOT

// Calls a bound entry point, or gives the neutral result of its type.
template <class Entry, class... Args>
auto _Call(Entry entry, Args... args) -> decltype(entry(args...))
{
    using Result = decltype(entry(args...));
    return entry != nullptr ? entry(args...) : Result();
}

OVR_Bool _ToByte(bool value)
{
    return value ? 1 : 0;
}

} // namespace

void OculusPlugin::Load()
{
    _dylibHandle =
        Plugin::OpenLibrary(GetModulePath, [](Plugin::Place, const std::string&, void*) {});
    if (_dylibHandle == nullptr) {
        return;
    }
#define TALMEX_BIND_SLOT(name)                                                                     \
    _ovr##name = reinterpret_cast<decltype(_ovr##name)>(dlsym(_dylibHandle, "OVR_" #name));
    TALMEX_OVR_ENTRY_POINTS(TALMEX_BIND_SLOT)
#undef TALMEX_BIND_SLOT
}

void OculusPlugin::Free()
{
#define TALMEX_CLEAR_SLOT(name) _ovr##name = nullptr;
    TALMEX_OVR_ENTRY_POINTS(TALMEX_CLEAR_SLOT)
#undef TALMEX_CLEAR_SLOT
    if (_dylibHandle != nullptr) {
        dlclose(_dylibHandle);
        _dylibHandle = nullptr;
    }
}

bool OculusPlugin::Update(MESSAGELIST& messages)
{
    return _Call(_ovrUpdate, &messages) != 0;
}

bool OculusPlugin::Initialize()
{
    return _Call(_ovrInitialize) != 0;
}

bool OculusPlugin::Destroy()
{
    return _Call(_ovrDestroy) != 0;
}

int OculusPlugin::GetSensorCount()
{
    return _Call(_ovrGetSensorCount);
}

bool OculusPlugin::IsHMDPresent()
{
    return _Call(_ovrIsHMDPresent) != 0;
}

bool OculusPlugin::GetSensorOrientation(int sensor, float& w, float& x, float& y, float& z)
{
    return _Call(_ovrGetSensorOrientation, sensor, &w, &x, &y, &z) != 0;
}

bool OculusPlugin::GetSensorPredictedOrientation(int sensor, float& w, float& x, float& y, float& z)
{
    return _Call(_ovrGetSensorPredictedOrientation, sensor, &w, &x, &y, &z) != 0;
}

bool OculusPlugin::GetSensorPredictionTime(int sensor, float& seconds)
{
    return _Call(_ovrGetSensorPredictionTime, sensor, &seconds) != 0;
}

bool OculusPlugin::SetSensorPredictionTime(int sensor, float seconds)
{
    return _Call(_ovrSetSensorPredictionTime, sensor, seconds) != 0;
}

bool OculusPlugin::EnableYawCorrection(int sensor, bool enable)
{
    return _Call(_ovrEnableYawCorrection, sensor, _ToByte(enable)) != 0;
}

bool OculusPlugin::ResetSensorOrientation(int sensor)
{
    return _Call(_ovrResetSensorOrientation, sensor) != 0;
}

bool OculusPlugin::GetAcceleration(int sensor, float& x, float& y, float& z)
{
    return _Call(_ovrGetAcceleration, sensor, &x, &y, &z) != 0;
}

bool OculusPlugin::GetAngularVelocity(int sensor, float& x, float& y, float& z)
{
    return _Call(_ovrGetAngularVelocity, sensor, &x, &y, &z) != 0;
}

bool OculusPlugin::GetMagnetometer(int sensor, float& x, float& y, float& z)
{
    return _Call(_ovrGetMagnetometer, sensor, &x, &y, &z) != 0;
}

bool OculusPlugin::IsSensorPresent(int sensor)
{
    return _Call(_ovrIsSensorPresent, sensor) != 0;
}

const char* OculusPlugin::GetDisplayDeviceName()
{
    return _Call(_ovrGetDisplayDeviceName);
}

bool OculusPlugin::GetScreenResolution(int& horizontal, int& vertical)
{
    return _Call(_ovrGetScreenResolution, &horizontal, &vertical) != 0;
}

bool OculusPlugin::GetScreenSize(float& horizontal, float& vertical)
{
    return _Call(_ovrGetScreenSize, &horizontal, &vertical) != 0;
}

bool OculusPlugin::GetEyeToScreenDistance(float& distance)
{
    return _Call(_ovrGetEyeToScreenDistance, &distance) != 0;
}

bool OculusPlugin::GetInterpupillaryDistance(float& distance)
{
    return _Call(_ovrGetInterpupillaryDistance, &distance) != 0;
}

bool OculusPlugin::GetLensSeparationDistance(float& distance)
{
    return _Call(_ovrGetLensSeparationDistance, &distance) != 0;
}

bool OculusPlugin::GetPlayerEyeHeight(float& height)
{
    return _Call(_ovrGetPlayerEyeHeight, &height) != 0;
}

bool OculusPlugin::GetEyeOffset(float& left, float& right)
{
    return _Call(_ovrGetEyeOffset, &left, &right) != 0;
}

bool OculusPlugin::GetScreenVCenter(float& center)
{
    return _Call(_ovrGetScreenVCenter, &center) != 0;
}

bool OculusPlugin::GetDistortionCoefficients(float& k0, float& k1, float& k2, float& k3)
{
    return _Call(_ovrGetDistortionCoefficients, &k0, &k1, &k2, &k3) != 0;
}

bool OculusPlugin::RenderPortraitMode()
{
    return _Call(_ovrRenderPortraitMode) != 0;
}

void OculusPlugin::ProcessLatencyInputs()
{
    _Call(_ovrProcessLatencyInputs);
}

bool OculusPlugin::DisplayLatencyScreenColor(unsigned char& r, unsigned char& g, unsigned char& b)
{
    return _Call(_ovrDisplayLatencyScreenColor, &r, &g, &b) != 0;
}

const char* OculusPlugin::GetLatencyResultsString()
{
    return _Call(_ovrGetLatencyResultsString);
}

bool OculusPlugin::IsMagCalibrated(int sensor)
{
    return _Call(_ovrIsMagCalibrated, sensor) != 0;
}

bool OculusPlugin::EnableMagYawCorrection(int sensor, bool enable)
{
    return _Call(_ovrEnableMagYawCorrection, sensor, _ToByte(enable)) != 0;
}

bool OculusPlugin::IsYawCorrectionEnabled(int sensor)
{
    return _Call(_ovrIsYawCorrectionEnabled, sensor) != 0;
}

} // namespace Agent
} // namespace Talmex
