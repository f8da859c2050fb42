#pragma once

#include "Plugin/EntryPoints.h"

namespace Talmex {
namespace Agent {

// The headset vendor's plug-in library, bound at run time entry point by entry
// point. Every wrapper is safe to call whether or not the library or its entry
// point was found: an unbound one returns false, 0 or null at once.
class OculusPlugin {
public:
    using MESSAGELIST = OVR_MessageList;

    // Looks for the library beside the current directory, then beside the
    // agent. Not finding it is not an error.
    static void Load();
    static void Free();

    static bool Update(MESSAGELIST& messages);
    static bool Initialize();
    static bool Destroy();
    static int GetSensorCount();
    static bool IsHMDPresent();
    static bool GetSensorOrientation(int sensor, float& w, float& x, float& y, float& z);
    static bool GetSensorPredictedOrientation(int sensor, float& w, float& x, float& y, float& z);
    static bool GetSensorPredictionTime(int sensor, float& seconds);
    static bool SetSensorPredictionTime(int sensor, float seconds);
    static bool EnableYawCorrection(int sensor, bool enable);
    static bool ResetSensorOrientation(int sensor);
    static bool GetAcceleration(int sensor, float& x, float& y, float& z);
    static bool GetAngularVelocity(int sensor, float& x, float& y, float& z);
    static bool GetMagnetometer(int sensor, float& x, float& y, float& z);
    static bool IsSensorPresent(int sensor);
    static const char* GetDisplayDeviceName();
    static bool GetScreenResolution(int& horizontal, int& vertical);
    static bool GetScreenSize(float& horizontal, float& vertical);
    static bool GetEyeToScreenDistance(float& distance);
    static bool GetInterpupillaryDistance(float& distance);
    static bool GetLensSeparationDistance(float& distance);
    static bool GetPlayerEyeHeight(float& height);
    static bool GetEyeOffset(float& left, float& right);
    static bool GetScreenVCenter(float& center);
    static bool GetDistortionCoefficients(float& k0, float& k1, float& k2, float& k3);
    static bool RenderPortraitMode();
    static void ProcessLatencyInputs();
    static bool DisplayLatencyScreenColor(unsigned char& r, unsigned char& g, unsigned char& b);
    static const char* GetLatencyResultsString();
    static bool IsMagCalibrated(int sensor);
    static bool EnableMagYawCorrection(int sensor, bool enable);
    static bool IsYawCorrectionEnabled(int sensor);
};

} // namespace Agent
} // namespace Talmex
