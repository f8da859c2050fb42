// Orientation error of OpenHMD's own driver of the first development kit, no
// agent between: the emulated headset turns at a steady rate, and every
// millisecond the driver is ticked and its orientation compared with the
// truth at the sensor time of the newest sample it has read. Figures per
// rate: the largest error of a run, and the drift, the slope of the yaw
// error over the run, per minute. Runs itself again with the emulation
// preloaded when it is not. Prints JSON (Figures.h).
//
//   talmex_emulated_rift_measure [--quick]

#include "Figures.h"
#include "OpenHmdRift.h"
#include "TestPaths.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using namespace TalmexBench;
using namespace TalmexTest;

constexpr double kRates[] = {30, 180}; // degrees per second

struct Plan {
    int runs;
    double seconds;
};

constexpr Plan kFullPlan = {3, 10};
constexpr Plan kQuickPlan = {1, 2};

struct Run {
    double largestError; // degrees
    double drift;        // degrees per minute
};

// The least-squares slope of value over time.
class Slope {
public:
    void Add(double time, double value)
    {
        ++_count;
        _time += time;
        _value += value;
        _timeTime += time * time;
        _timeValue += time * value;
    }

    double Value() const
    {
        const double spread = _count * _timeTime - _time * _time;
        return spread > 0 ? (_count * _timeValue - _time * _value) / spread : NAN;
    }

private:
    double _count = 0, _time = 0, _value = 0, _timeTime = 0, _timeValue = 0;
};

// One run at degreesPerSecond; NaN figures when the headset does not open.
Run Measure(double degreesPerSecond, double seconds, SensorTimeFunction sensorTime)
{
    setenv("TALMEX_EMULATED_RIFT_YAW_RATE", std::to_string(degreesPerSecond).c_str(), 1);
    EmulatedRiftMotion motion;
    motion.yawRate = degreesPerSecond * kRadiansPerDegree;
    Run run{NAN, NAN};
    ohmd_context* context = ohmd_ctx_create();
    ohmd_device* device = context == nullptr ? nullptr : OpenEmulatedRift(context);
    if (device != nullptr) {
        run.largestError = 0;
        Slope yawError;
        const long limit = std::lround(seconds * 2000);
        for (long tick = 0; tick < limit && sensorTime() < seconds; ++tick) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ohmd_ctx_update(context);
            const double t = sensorTime();
            const Quaternion measured = OpenHmdOrientation(device);
            const Quaternion truth = motion.OrientationAt(t);
            run.largestError = std::max(run.largestError, AngleBetween(measured, truth));
            const Quaternion error = truth.Conjugate() * measured;
            yawError.Add(t / 60, 2 * std::atan2(error.y, error.w));
        }
        run.largestError /= kRadiansPerDegree;
        run.drift = std::fabs(yawError.Value()) / kRadiansPerDegree;
    }
    if (context != nullptr) {
        ohmd_ctx_destroy(context);
    }
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const bool isQuick = argc == 2 && std::strcmp(argv[1], "--quick") == 0;
    if (argc > 2 || (argc == 2 && !isQuick)) {
        std::fprintf(stderr, "usage: talmex_emulated_rift_measure [--quick]\n");
        return 64;
    }
    const SensorTimeFunction sensorTime = FindEmulatedRiftSensorTime();
    if (sensorTime == nullptr) {
        if (getenv("LD_PRELOAD") != nullptr) {
            std::fprintf(stderr, "talmex_emulated_rift_measure: the emulation did not load\n");
            return 1;
        }
        setenv("LD_PRELOAD", TALMEX_EMULATED_RIFT_LIBRARY, 1);
        execv("/proc/self/exe", argv);
        std::perror("talmex_emulated_rift_measure: running again");
        return 1;
    }
    const Plan plan = isQuick ? kQuickPlan : kFullPlan;
    Figures figures;
    for (double rate : kRates) {
        std::vector<double> errors, drifts;
        for (int i = 0; i < plan.runs; ++i) {
            const Run run = Measure(rate, plan.seconds, sensorTime);
            errors.push_back(run.largestError);
            drifts.push_back(run.drift);
        }
        const std::string prefix = "openhmd_dk1_" + std::to_string(static_cast<int>(rate)) + "_";
        figures.Add(prefix + "error", "deg", errors);
        figures.Add(prefix + "drift", "deg/min", drifts);
    }
    figures.Print(stdout);
    return 0;
}
