#pragma once

#include "Support/BoundPlugin.h"

namespace TalmexBench {

// What one report costs a plug-in: the update and every query the agent
// makes for a report (Device::WriteTo), for both sensors. Gives a sum of the
// answers, for the caller to keep from being optimised away.
inline float MakeReport(TalmexTest::BoundPlugin& p)
{
    OVR_MessageList messages{};
    p.Update(&messages);
    int i[2];
    float f[4];
    unsigned char b[3];
    float sum = static_cast<float>(p.IsHMDPresent() + p.GetSensorCount() + p.RenderPortraitMode());
    p.GetScreenResolution(&i[0], &i[1]);
    p.GetScreenSize(&f[0], &f[1]);
    p.GetEyeToScreenDistance(&f[0]);
    p.GetInterpupillaryDistance(&f[0]);
    p.GetLensSeparationDistance(&f[0]);
    p.GetPlayerEyeHeight(&f[0]);
    p.GetEyeOffset(&f[0], &f[1]);
    p.GetScreenVCenter(&f[0]);
    p.GetDistortionCoefficients(&f[0], &f[1], &f[2], &f[3]);
    p.DisplayLatencyScreenColor(&b[0], &b[1], &b[2]);
    for (int sensor = 0; sensor < 2; ++sensor) {
        sum += static_cast<float>(p.IsSensorPresent(sensor) + p.IsMagCalibrated(sensor) +
                                  p.IsYawCorrectionEnabled(sensor));
        p.GetSensorOrientation(sensor, &f[0], &f[1], &f[2], &f[3]);
        p.GetSensorPredictedOrientation(sensor, &f[0], &f[1], &f[2], &f[3]);
        p.GetSensorPredictionTime(sensor, &f[0]);
        p.GetAcceleration(sensor, &f[0], &f[1], &f[2]);
        p.GetAngularVelocity(sensor, &f[0], &f[1], &f[2]);
        p.GetMagnetometer(sensor, &f[0], &f[1], &f[2]);
    }
    return sum + f[0] + f[1] + f[2] + f[3] + static_cast<float>(i[0] + b[0]);
}

} // namespace TalmexBench
