#pragma once

#include <sys/types.h>

namespace TalmexBench {

// What the kernel counts of a running process, summed over its threads.
struct ProcessSample {
    double processorSeconds = 0;
    // Voluntary and involuntary: each is a wake-up of a thread that slept,
    // or a thread made to wait.
    long contextSwitches = 0;
    long residentKilobytes = 0;
};

ProcessSample SampleProcess(pid_t pid);

// Share of one core, in per cent, that the process used between two samples
// taken the given seconds apart.
inline double ProcessorPercent(const ProcessSample& from, const ProcessSample& to, double seconds)
{
    return (to.processorSeconds - from.processorSeconds) / seconds * 100;
}

} // namespace TalmexBench
