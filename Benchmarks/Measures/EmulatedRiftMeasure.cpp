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
#include "Statistics.h"
#include "TestPaths.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

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
    const SensorTimeFunction sensorTime = PreloadEmulatedRift(argv, TALMEX_EMULATED_RIFT_LIBRARY);
    if (sensorTime == nullptr) {
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
