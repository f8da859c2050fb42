// The OpenHMD headset end to end on OpenHMD's own driver of the Rift DK1,
// the headset emulated at the HID boundary. Through the agent, as the
// emulated headset turns steadily at 30 and at 180 degrees per second for
// 10 s: how far the reported orientations stray from the truth, how old they
// are when they arrive, and how the yaw drifts. In this process, paced as
// the agent paces it: what one report costs the plug-in with the real driver
// reading and fusing the samples due. Runs itself again with the emulation
// preloaded when it is not, so that this process and the agents it starts
// run on it. Prints JSON (Figures.h); binds the agent's UDP ports, so it stops
// at once, with status 2, when they are taken.
//
//   talmex_emulated_rift_agent_measure [--quick]

#include "Client/Client.h"
#include "EmulatedRiftTimeline.h"
#include "Figures.h"
#include "GuardedAgent.h"
#include "OpenHmdRift.h"
#include "PluginReport.h"
#include "Statistics.h"
#include "Support/UdpClient.h"
#include "TestPaths.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

using namespace TalmexTest;
using Talmex::Client::Client;
using Talmex::Client::HeadsetState;
using Clock = Client::Clock;
using Talmex::Protocol::kAgentPorts;

constexpr double kRates[] = {30, 180}; // degrees per second
// How far back a report's sensor time is looked for (EmulatedRiftTimeline.h):
// the age of a report that a busy machine held up.
constexpr double kWindow = 0.05;
// The agent's service cycle, at which the cost is measured.
constexpr auto kCycle = std::chrono::milliseconds(2);

struct Plan {
    int runs;
    double seconds;
};

// Where the plug-in's answers go, so that none of its work is left out.
volatile float _answers = 0;

constexpr Plan kFullPlan = {3, 10};
constexpr Plan kQuickPlan = {1, 2};

struct Run {
    double largestError = NAN;     // degrees, at the report's sensor time
    double largestAtArrival = NAN; // degrees, at the report's arrival
    double medianAge = NAN;        // milliseconds
    double drift = NAN;            // degrees of yaw per minute
};

// One run through the agent at degreesPerSecond; NaN figures when the
// headset was not served.
Run ThroughAgent(double degreesPerSecond, double seconds)
{
    const std::string openLog = "/tmp/talmex-emulated-rift-measure-" + std::to_string(getpid());
    unlink(openLog.c_str());
    AgentProcess::Options options;
    options.workingDirectory = TALMEX_OPENHMD_FOLDER;
    options.environment = {{"TALMEX_EMULATED_RIFT_YAW_RATE", std::to_string(degreesPerSecond)},
                           {"TALMEX_EMULATED_RIFT_OPEN_LOG", openLog}};
    EmulatedRiftMotion motion;
    motion.yawRate = degreesPerSecond * kRadiansPerDegree;

    std::vector<std::pair<Clock::time_point, Quaternion>> reports;
    {
        TalmexBench::GuardedAgent agent(options);
        Client client;
        client.SetReportObserver([&](const HeadsetState& report, const unsigned char*, size_t,
                                     Clock::time_point received) {
            const float(&q)[4] = report.sensors[0].orientation;
            if (report.display.hmdPresent && report.sensors[0].orientationValid) {
                reports.push_back({received, {q[0], q[1], q[2], q[3]}});
            }
        });
        HeadsetState state;
        const Clock::time_point start = Clock::now();
        const auto limit = std::chrono::duration<double>(seconds + 2);
        if (client.Attach("127.0.0.1", kAgentPorts[0])) {
            while (Clock::now() - start < limit &&
                   (reports.empty() || reports.back().first - reports.front().first <
                                           std::chrono::duration<double>(seconds))) {
                client.Wait(state, std::chrono::milliseconds(20));
            }
        }
        client.Stop();
    }
    const auto opened = NewestEmulatedRiftOpen(openLog);
    unlink(openLog.c_str());
    if (!opened || reports.empty()) {
        return {};
    }

    // The drift: the slope of the yaw error at arrival, which the age only
    // scatters about its mean.
    Run run{0, 0, 0, 0};
    std::vector<double> ages;
    TalmexBench::Slope yawError;
    for (const auto& [received, orientation] : reports) {
        const double arrival = std::chrono::duration<double>(received - *opened).count();
        const OrientationMatch match = MatchOrientation(motion, orientation, arrival, kWindow);
        run.largestError = std::max(run.largestError, match.error);
        ages.push_back(match.age);
        const Quaternion truth = motion.OrientationAt(arrival);
        run.largestAtArrival = std::max(run.largestAtArrival, AngleBetween(orientation, truth));
        const Quaternion error = truth.Conjugate() * orientation;
        yawError.Add(arrival / 60, 2 * std::atan2(error.y, error.w));
    }
    run.largestError /= kRadiansPerDegree;
    run.largestAtArrival /= kRadiansPerDegree;
    run.medianAge = TalmexBench::Median(ages) * 1000;
    run.drift = std::fabs(yawError.Value()) / kRadiansPerDegree;
    return run;
}

// The plug-in's median cost of a report in nanoseconds, a report every
// service cycle for the time, with the emulated headset turning; negative
// when the headset did not open.
double CostPerReport(double seconds)
{
    unsetenv("TALMEX_OPENHMD_DEVICE");
    setenv("TALMEX_EMULATED_RIFT_YAW_RATE", "180", 1);
    BoundPlugin plugin(TALMEX_OPENHMD_HEADSET);
    if (!plugin.IsComplete() || !plugin.Initialize()) {
        return -1;
    }
    std::vector<double> costs;
    Clock::time_point next = Clock::now();
    for (long i = 0; i < std::lround(seconds / 0.002); ++i) {
        next += kCycle;
        std::this_thread::sleep_until(next);
        const Clock::time_point before = Clock::now();
        _answers = TalmexBench::MakeReport(plugin);
        costs.push_back(std::chrono::duration<double, std::nano>(Clock::now() - before).count());
    }
    plugin.Destroy();
    return TalmexBench::Median(costs);
}

} // namespace

int main(int argc, char** argv)
{
    const bool isQuick = argc == 2 && std::strcmp(argv[1], "--quick") == 0;
    if (argc > 2 || (argc == 2 && !isQuick)) {
        std::fprintf(stderr, "usage: talmex_emulated_rift_agent_measure [--quick]\n");
        return 64;
    }
    if (PreloadEmulatedRift(argv, TALMEX_EMULATED_RIFT_LIBRARY) == nullptr) {
        return 1;
    }
    for (uint16_t port : kAgentPorts) {
        if (!PortBlocker(port).IsHolding()) {
            std::fprintf(
                stderr, "talmex_emulated_rift_agent_measure: the agent's port %u is taken\n", port);
            return 2;
        }
    }
    TalmexBench::KillChildrenOnSignals();
    const Plan plan = isQuick ? kQuickPlan : kFullPlan;
    TalmexBench::Figures figures;
    std::vector<double> ages;
    for (double rate : kRates) {
        std::vector<double> errors, atArrival, drifts;
        for (int i = 0; i < plan.runs; ++i) {
            const Run run = ThroughAgent(rate, plan.seconds);
            if (!std::isnan(run.largestError)) {
                errors.push_back(run.largestError);
                atArrival.push_back(run.largestAtArrival);
                ages.push_back(run.medianAge);
                if (!std::isnan(run.drift)) {
                    drifts.push_back(run.drift);
                }
            }
        }
        const std::string prefix = "emulated_dk1_" + std::to_string(static_cast<int>(rate)) + "_";
        figures.Add(prefix + "error", "°", errors);
        figures.Add(prefix + "error_at_arrival", "°", atArrival);
        figures.Add(prefix + "drift", "°/min", drifts);
    }
    figures.Add("emulated_dk1_age", "ms", ages);
    std::vector<double> costs;
    for (int i = 0; i < plan.runs; ++i) {
        const double cost = CostPerReport(isQuick ? 1 : 5);
        if (cost >= 0) {
            costs.push_back(cost);
        }
    }
    figures.Add("emulated_dk1_report", "ns", costs);
    figures.Print(stdout);
    return 0;
}
