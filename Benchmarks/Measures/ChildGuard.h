#pragma once

#include <sys/types.h>

namespace TalmexBench {

// The processes a measurement starts are killed when it is interrupted, so
// that no agent or sender outlives the run. A negative id names a process
// group.
void KillChildrenOnSignals();
void GuardChild(pid_t pid);
void ReleaseChild(pid_t pid);

} // namespace TalmexBench
