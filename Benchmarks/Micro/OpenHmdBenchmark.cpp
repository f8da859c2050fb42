// What the OpenHMD headset costs the agent's service thread: one OVR_Update,
// and one whole report (the update and every query the agent makes for a
// report, for both sensors), with OpenHMD's Null device, which holds still,
// and with its External device fed a turn, whose angular velocity is worked
// out from orientations that differ.

#include "PluginReport.h"
#include "Support/BoundPlugin.h"
#include "Support/MotionRecording.h"
#include "TestPaths.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>

namespace {

using TalmexTest::BoundPlugin;

// The headset, loaded as the agent loads it and taken as a host takes it.
class TakenHeadset {
public:
    explicit TakenHeadset(const char* device) : _plugin(TALMEX_OPENHMD_HEADSET)
    {
        setenv("TALMEX_OPENHMD_DEVICE", device, 1);
        // A second of a turn for the External device, fed as the time goes
        // by, the last 25 ms of it then held.
        TalmexTest::WriteMotionRecording(_recording, {0, 0, 1}, 1, 0.002);
        setenv("TALMEX_REPLAY", _recording.c_str(), 1);
        _isTaken = _plugin.IsComplete() && _plugin.Initialize();
    }
    ~TakenHeadset()
    {
        if (_isTaken) {
            _plugin.Destroy();
        }
        unlink(_recording.c_str());
    }

    BoundPlugin& Plugin() { return _plugin; }
    bool IsTaken() const { return _isTaken; }

private:
    const std::string _recording = "/tmp/talmex-openhmd-benchmark-" + std::to_string(getpid());
    BoundPlugin _plugin;
    bool _isTaken = false;
};

void BM_OpenHmdUpdate(benchmark::State& state)
{
    TakenHeadset headset("null");
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

void BM_OpenHmdReport(benchmark::State& state, const char* device)
{
    TakenHeadset headset(device);
    for (auto _ : state) {
        benchmark::DoNotOptimize(TalmexBench::MakeReport(headset.Plugin()));
    }
    if (!headset.IsTaken()) {
        state.SkipWithError("the device did not open");
    }
}
BENCHMARK_CAPTURE(BM_OpenHmdReport, null_device, "null");
BENCHMARK_CAPTURE(BM_OpenHmdReport, turning_external_device, "external");

} // namespace

BENCHMARK_MAIN();
