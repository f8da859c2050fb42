#include "ReportWindow.h"

#include <algorithm>
#include <chrono>

namespace TalmexBench {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kKeepAliveInterval{100};
constexpr milliseconds kFirstReportTime{2000};

int _MillisecondsUntil(Clock::time_point when)
{
    const auto left = std::chrono::duration_cast<milliseconds>(when - Clock::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0)) + 1;
}

} // namespace

std::optional<ReportWindow> CollectReports(ReportListener& listener, pid_t sender, double seconds,
                                           const KeepAlive& keepAlive)
{
    ReportWindow window;
    std::vector<int64_t> arrivals;
    Clock::time_point end = Clock::now() + kFirstReportTime;
    Clock::time_point start;
    Clock::time_point nextKeepAlive = Clock::now();
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        if (keepAlive && now >= nextKeepAlive) {
            keepAlive();
            nextKeepAlive = now + kKeepAliveInterval;
        }
        const Clock::time_point wake = keepAlive ? std::min(end, nextKeepAlive) : end;
        const std::optional<int64_t> arrival = listener.Receive(_MillisecondsUntil(wake));
        if (!arrival) {
            continue;
        }
        if (arrivals.empty()) {
            window.senderAtStart = SampleProcess(sender);
            start = Clock::now();
            end = start + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(seconds));
        }
        arrivals.push_back(*arrival);
    }
    if (arrivals.size() < 2) {
        return std::nullopt;
    }
    window.senderAtEnd = SampleProcess(sender);
    window.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (size_t i = 1; i < arrivals.size(); ++i) {
        window.gapMilliseconds.push_back(static_cast<double>(arrivals[i] - arrivals[i - 1]) * 1e-6);
    }
    const double spanSeconds = static_cast<double>(arrivals.back() - arrivals.front()) * 1e-9;
    if (spanSeconds <= 0) {
        return std::nullopt;
    }
    window.reportsPerSecond = static_cast<double>(arrivals.size() - 1) / spanSeconds;
    return window;
}

} // namespace TalmexBench
