#pragma once

#include "ProcessSample.h"
#include "ReportListener.h"

#include <functional>
#include <optional>
#include <vector>

namespace TalmexBench {

// What a client saw of one sender over a window that opens with its first
// report, and what the sender cost meanwhile.
struct ReportWindow {
    double reportsPerSecond = 0;
    std::vector<double> gapMilliseconds;
    ProcessSample senderAtStart;
    ProcessSample senderAtEnd;
    double seconds = 0;
};

// Keeps the channel: called at the start and every 100 ms.
using KeepAlive = std::function<void()>;

// Reports at the listener for the given seconds after the first one, from
// the given sender process; nothing when no report came within two seconds.
std::optional<ReportWindow> CollectReports(ReportListener& listener, pid_t sender, double seconds,
                                           const KeepAlive& keepAlive = nullptr);

} // namespace TalmexBench
