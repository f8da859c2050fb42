// What the OpenHMD headset costs the agent's service thread with OpenHMD's
// Null device: one OVR_Update, and one whole report (the update and every
// query the agent makes for a report, for both sensors).

#include "Support/BoundPlugin.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using TalmexTest::BoundPlugin;

// The headset, loaded as the agent loads it and taken as a host takes it.
class TakenHeadset {
public:
    TakenHeadset() : _plugin(TALMEX_OPENHMD_HEADSET)
    {
        setenv("TALMEX_OPENHMD_DEVICE", "null", 1);
        _isTaken = _plugin.IsComplete() && _plugin.Initialize();
    }
    ~TakenHeadset()
    {
        if (_isTaken) {
            _plugin.Destroy();
        }
    }

    BoundPlugin& Plugin() { return _plugin; }
    bool IsTaken() const { return _isTaken; }

private:
    BoundPlugin _plugin;
    bool _isTaken = false;
};

void BM_OpenHmdUpdate(benchmark::State& state)
{
    TakenHeadset headset;
    BoundPlugin& p = headset.Plugin();
    for (auto _ : state) {
        OVR_MessageList messages{};
        benchmark::DoNotOptimize(p.Update(&messages));
    }
    if (!headset.IsTaken()) {
        state.SkipWithError("the Null device did not open");
    }
}
BENCHMARK(BM_OpenHmdUpdate);

void BM_OpenHmdReport(benchmark::State& state)
{
    TakenHeadset headset;
    BoundPlugin& p = headset.Plugin();
    int i[2];
    float f[4];
    unsigned char b[3];
    for (auto _ : state) {
        OVR_MessageList messages{};
        p.Update(&messages);
        benchmark::DoNotOptimize(p.IsHMDPresent() + p.GetSensorCount() + p.RenderPortraitMode());
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
            benchmark::DoNotOptimize(p.IsSensorPresent(sensor) + p.IsMagCalibrated(sensor) +
                                     p.IsYawCorrectionEnabled(sensor));
            p.GetSensorOrientation(sensor, &f[0], &f[1], &f[2], &f[3]);
            p.GetSensorPredictedOrientation(sensor, &f[0], &f[1], &f[2], &f[3]);
            p.GetSensorPredictionTime(sensor, &f[0]);
            p.GetAcceleration(sensor, &f[0], &f[1], &f[2]);
            p.GetAngularVelocity(sensor, &f[0], &f[1], &f[2]);
            p.GetMagnetometer(sensor, &f[0], &f[1], &f[2]);
        }
        benchmark::DoNotOptimize(f);
    }
    if (!headset.IsTaken()) {
        state.SkipWithError("the Null device did not open");
    }
}
BENCHMARK(BM_OpenHmdReport);

} // namespace

BENCHMARK_MAIN();
