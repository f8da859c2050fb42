// End to end: the agent as a host sees it, each figure beside what the
// plainest program doing the same achieves on this machine in the same run.
// Prints the figures as JSON (Figures.h). It binds the agent's UDP ports, so
// it stops at once, with status 2, when they are taken.
//
//   talmex_service_measure [--quick] [--check-ports] [--monitor PATH]

#include "ChildGuard.h"
#include "Figures.h"
#include "GuardedAgent.h"
#include "MonitorCost.h"
#include "PlainLoop.h"
#include "ProcessSample.h"
#include "ReportListener.h"
#include "ReportWindow.h"
#include "RequestLatency.h"
#include "Statistics.h"
#include "Support/ProtocolBytes.h"
#include "Support/UdpClient.h"

#include "Protocol/Header.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <random>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using namespace TalmexBench;
using Clock = std::chrono::steady_clock;

constexpr uint16_t kPort = Talmex::Protocol::kAgentPorts[0];
// A served channel lasts this long after its last request.
constexpr useconds_t kChannelExpiryMicroseconds = 1100000;
constexpr int kStopTimeMilliseconds = 5000;
constexpr useconds_t kInputPollMicroseconds = 100000;

struct Plan {
    int starts;
    int idleRuns;
    double idleSecondsPerRun;
    int rounds;
    double windowSeconds;
    double soakSeconds;
    int latencyRequests;
    double monitorSeconds;
};

constexpr Plan kFullPlan = {7, 5, 2.0, 5, 10.0, 60.0, 1000, 10.0};
constexpr Plan kQuickPlan = {3, 3, 1.0, 3, 2.0, 5.0, 200, 3.0};

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A descriptor that turns readable when the process exits. Through syscall:
// the C library's declaration lacks C linkage in some versions.
int ExitWatch(pid_t pid)
{
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

bool PortsAreFree()
{
    for (uint16_t port : Talmex::Protocol::kAgentPorts) {
        if (!TalmexTest::PortBlocker(port).IsHolding()) {
            return false;
        }
    }
    return true;
}

bool Fail(const char* what)
{
    std::fprintf(stderr, "talmex_service_measure: %s\n", what);
    return false;
}

void Progress(const char* phase)
{
    std::fprintf(stderr, "talmex_service_measure: %s\n", phase);
}

// Requests with nothing but a header keep a channel and change nothing.
class Requester {
public:
    explicit Requester(ReportListener& listener) : _listener(listener) {}
    void operator()() { _listener.Send(TalmexTest::HeaderOf({1, 0, ++_sequence}), kPort); }

private:
    ReportListener& _listener;
    uint32_t _sequence = 0;
};

// From the start of the process to its first report to a client that asks
// every millisecond, and from the closing of its input, at a moment drawn
// at random within the agent's 100 ms input poll, to its exit.
bool MeasureStartAndStop(const Plan& plan, Figures& figures)
{
    std::mt19937 random(1);
    std::uniform_int_distribution<useconds_t> moment(0, kInputPollMicroseconds);
    std::vector<double> starts;
    std::vector<double> stops;
    for (int run = 0; run < plan.starts; ++run) {
        ReportListener listener;
        Requester request(listener);
        const Clock::time_point started = Clock::now();
        GuardedAgent agent;
        bool isServed = false;
        for (int attempt = 0; attempt < 3000 && !isServed; ++attempt) {
            request();
            isServed = listener.Receive(1).has_value();
        }
        if (!isServed) {
            return Fail("the agent sent no report within 3 s of its start");
        }
        starts.push_back(MillisecondsSince(started));
        usleep(moment(random));

        const int exitWatch = ExitWatch(agent.Pid());
        const Clock::time_point closed = Clock::now();
        agent.CloseInput();
        pollfd exited = {exitWatch, POLLIN, 0};
        const bool hasExited = exitWatch != -1 && poll(&exited, 1, kStopTimeMilliseconds) == 1;
        stops.push_back(MillisecondsSince(closed));
        if (exitWatch != -1) {
            close(exitWatch);
        }
        if (!hasExited) {
            return Fail("the agent did not exit within 5 s of its input closing");
        }
    }
    figures.Add("start_to_first_report", "ms", starts);
    figures.Add("input_closed_to_exit", "ms", stops);
    return true;
}

void MeasureIdle(const Plan& plan, pid_t agent, Figures& figures)
{
    std::vector<double> processor;
    std::vector<double> wakeups;
    for (int run = 0; run < plan.idleRuns; ++run) {
        const ProcessSample before = SampleProcess(agent);
        const Clock::time_point start = Clock::now();
        usleep(static_cast<useconds_t>(plan.idleSecondsPerRun * 1e6));
        const ProcessSample after = SampleProcess(agent);
        const double seconds = MillisecondsSince(start) / 1000;
        processor.push_back(ProcessorPercent(before, after, seconds));
        wakeups.push_back(static_cast<double>(after.contextSwitches - before.contextSwitches) /
                          seconds);
    }
    figures.Add("idle_processor", "%", processor);
    figures.Add("idle_wakeups", "/s", wakeups);
}

// The runs of one sender's windows.
struct Runs {
    std::vector<double> reportsPerSecond;
    std::vector<double> gapMedian;
    std::vector<double> gapP99;
    std::vector<double> gapMax;
    std::vector<double> processor;

    void Add(const ReportWindow& window)
    {
        reportsPerSecond.push_back(window.reportsPerSecond);
        gapMedian.push_back(Median(window.gapMilliseconds));
        gapP99.push_back(Percentile(window.gapMilliseconds, 0.99));
        gapMax.push_back(Percentile(window.gapMilliseconds, 1.0));
        processor.push_back(
            ProcessorPercent(window.senderAtStart, window.senderAtEnd, window.seconds));
    }

    void AddTo(Figures& figures, const std::string& prefix) const
    {
        figures.Add(prefix + "reports_per_second", "/s", reportsPerSecond);
        figures.Add(prefix + "gap_median", "ms", gapMedian);
        figures.Add(prefix + "gap_p99", "ms", gapP99);
        figures.Add(prefix + "gap_max", "ms", gapMax);
        figures.Add(prefix + "processor", "%", processor);
    }
};

enum class Sender { kAgent, kPlainLoop, kPlainLoopMinimalSlack };

std::optional<ReportWindow> CollectFrom(Sender sender, pid_t agent, double seconds)
{
    ReportListener listener;
    if (sender == Sender::kAgent) {
        Requester request(listener);
        std::optional<ReportWindow> window =
            CollectReports(listener, agent, seconds, [&] { request(); });
        // The next sender runs beside an idle agent, not one still serving.
        usleep(kChannelExpiryMicroseconds);
        return window;
    }
    PlainLoop loop(listener.Port(), sender == Sender::kPlainLoopMinimalSlack);
    return CollectReports(listener, loop.Pid(), seconds);
}

// The agent and the two plain loops take turns, each round starting with
// another, so that the machine's drift falls on all three alike.
bool MeasureServing(const Plan& plan, pid_t agent, Figures& figures)
{
    const Sender senders[] = {Sender::kAgent, Sender::kPlainLoop, Sender::kPlainLoopMinimalSlack};
    Runs runs[3];
    for (int round = 0; round < plan.rounds; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            const int which = (round + turn) % 3;
            const std::optional<ReportWindow> window =
                CollectFrom(senders[which], agent, plan.windowSeconds);
            if (!window) {
                return Fail(which == 0 ? "the agent sent no reports"
                                       : "the plain loop's datagrams did not arrive");
            }
            runs[which].Add(*window);
        }
    }
    runs[0].AddTo(figures, "");
    runs[1].AddTo(figures, "plain_");
    runs[2].AddTo(figures, "plain_minimal_slack_");
    return true;
}

// Resident memory at the start and the end of a long stretch of serving.
bool MeasureSoak(const Plan& plan, pid_t agent, Figures& figures)
{
    ReportListener listener;
    Requester request(listener);
    const std::optional<ReportWindow> window =
        CollectReports(listener, agent, plan.soakSeconds, [&] { request(); });
    if (!window) {
        return Fail("the agent sent no reports");
    }
    const long start = window->senderAtStart.residentKilobytes;
    const long end = window->senderAtEnd.residentKilobytes;
    figures.Add("resident", "kB", {static_cast<double>(end)});
    figures.Add("resident_growth", "kB", {static_cast<double>(end - start)});
    figures.Add("soak", "s", {window->seconds});
    return true;
}

bool MeasureRequestLatency(const Plan& plan, Figures& figures)
{
    const std::optional<std::vector<double>> latencies =
        MeasureRequestToPlugin(plan.latencyRequests);
    if (!latencies) {
        return Fail("the scripted plug-in did not log every request's command");
    }
    figures.Add("request_to_plugin_median", "ms", {Median(*latencies)});
    figures.Add("request_to_plugin_p99", "ms", {Percentile(*latencies, 0.99)});
    return true;
}

bool Measure(const Plan& plan, Figures& figures)
{
    Progress("start and stop");
    if (!MeasureStartAndStop(plan, figures)) {
        return false;
    }
    {
        GuardedAgent agent;
        // Settled: bound, its plug-in loaded.
        usleep(500000);
        Progress("idle");
        MeasureIdle(plan, agent.Pid(), figures);
        Progress("serving, beside the plain loops");
        if (!MeasureServing(plan, agent.Pid(), figures)) {
            return false;
        }
        Progress("serving without a break");
        if (!MeasureSoak(plan, agent.Pid(), figures)) {
            return false;
        }
    }
    Progress("requests to the plug-in");
    return MeasureRequestLatency(plan, figures);
}

} // namespace

int main(int argc, char** argv)
{
    const Plan* plan = &kFullPlan;
    bool checkPortsOnly = false;
    std::string monitor;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            plan = &kQuickPlan;
        } else if (std::strcmp(argv[i], "--check-ports") == 0) {
            checkPortsOnly = true;
        } else if (std::strcmp(argv[i], "--monitor") == 0 && i + 1 < argc) {
            monitor = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--quick] [--check-ports] [--monitor PATH]\n", argv[0]);
            return 64;
        }
    }
    KillChildrenOnSignals();
    if (!PortsAreFree()) {
        std::fprintf(stderr,
                     "talmex_service_measure: the agent's UDP ports %u-%u are taken on "
                     "this machine (another agent?); free them, or run where a private "
                     "network namespace is allowed\n",
                     Talmex::Protocol::kAgentPorts[0], Talmex::Protocol::kAgentPorts[2]);
        return 2;
    }
    if (checkPortsOnly) {
        return 0;
    }
    Figures figures;
    if (!Measure(*plan, figures)) {
        return 1;
    }
    if (!monitor.empty()) {
        Progress("the terminal monitor");
        if (const std::optional<double> processor =
                MeasureMonitorProcessor(monitor, plan->monitorSeconds)) {
            figures.Add("monitor_processor", "%", {*processor});
        } else {
            Fail("the terminal monitor did not stay up; its row stays empty");
        }
    }
    figures.Print(stdout);
    return 0;
}
