#pragma once

// The C entry points of the headset plug-in library, shared by the agent
// (which binds them by name) and by every plug-in built here (which defines
// them, so the compiler holds both sides to one shape).
//
// Booleans cross as one byte: 0 is false, anything else true. Out-parameters
// point at the caller's storage, which the plug-in may leave unwritten.

extern "C" {

typedef unsigned char OVR_Bool;

// The three message flags of one update, cleared by the caller beforehand.
struct OVR_MessageList {
    unsigned char flags[3];
};

OVR_Bool OVR_Update(OVR_MessageList* messages);
OVR_Bool OVR_Initialize();
OVR_Bool OVR_Destroy();
int OVR_GetSensorCount();
OVR_Bool OVR_IsHMDPresent();
OVR_Bool OVR_GetSensorOrientation(int sensor, float* w, float* x, float* y, float* z);
OVR_Bool OVR_GetSensorPredictedOrientation(int sensor, float* w, float* x, float* y, float* z);
OVR_Bool OVR_GetSensorPredictionTime(int sensor, float* seconds);
OVR_Bool OVR_SetSensorPredictionTime(int sensor, float seconds);
OVR_Bool OVR_EnableYawCorrection(int sensor, OVR_Bool enable);
OVR_Bool OVR_ResetSensorOrientation(int sensor);
OVR_Bool OVR_GetAcceleration(int sensor, float* x, float* y, float* z);
OVR_Bool OVR_GetAngularVelocity(int sensor, float* x, float* y, float* z);
OVR_Bool OVR_GetMagnetometer(int sensor, float* x, float* y, float* z);
OVR_Bool OVR_IsSensorPresent(int sensor);
const char* OVR_GetDisplayDeviceName();
OVR_Bool OVR_GetScreenResolution(int* horizontal, int* vertical);
OVR_Bool OVR_GetScreenSize(float* horizontal, float* vertical);
OVR_Bool OVR_GetEyeToScreenDistance(float* distance);
OVR_Bool OVR_GetInterpupillaryDistance(float* distance);
OVR_Bool OVR_GetLensSeparationDistance(float* distance);
OVR_Bool OVR_GetPlayerEyeHeight(float* height);
OVR_Bool OVR_GetEyeOffset(float* left, float* right);
OVR_Bool OVR_GetScreenVCenter(float* center);
OVR_Bool OVR_GetDistortionCoefficients(float* k0, float* k1, float* k2, float* k3);
OVR_Bool OVR_RenderPortraitMode();
void OVR_ProcessLatencyInputs();
OVR_Bool OVR_DisplayLatencyScreenColor(unsigned char* r, unsigned char* g, unsigned char* b);
const char* OVR_GetLatencyResultsString();
OVR_Bool OVR_IsMagCalibrated(int sensor);
OVR_Bool OVR_EnableMagYawCorrection(int sensor, OVR_Bool enable);
OVR_Bool OVR_IsYawCorrectionEnabled(int sensor);

} // extern "C"

// Every entry point, in the order the agent binds them.
// clang-format off
#define TALMEX_OVR_ENTRY_POINTS(X)                                                         \
    X(Update) X(Initialize) X(Destroy) X(GetSensorCount) X(IsHMDPresent)                  \
    X(GetSensorOrientation) X(GetSensorPredictedOrientation) X(GetSensorPredictionTime)   \
    X(SetSensorPredictionTime) X(EnableYawCorrection) X(ResetSensorOrientation)           \
    X(GetAcceleration) X(GetAngularVelocity) X(GetMagnetometer) X(IsSensorPresent)        \
    X(GetDisplayDeviceName) X(GetScreenResolution) X(GetScreenSize)                       \
    X(GetEyeToScreenDistance) X(GetInterpupillaryDistance) X(GetLensSeparationDistance)   \
    X(GetPlayerEyeHeight) X(GetEyeOffset) X(GetScreenVCenter)                             \
    X(GetDistortionCoefficients) X(RenderPortraitMode) X(ProcessLatencyInputs)            \
    X(DisplayLatencyScreenColor) X(GetLatencyResultsString) X(IsMagCalibrated)            \
    X(EnableMagYawCorrection) X(IsYawCorrectionEnabled)
// clang-format on
