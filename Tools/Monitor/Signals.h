#pragma once

namespace Talmex {
namespace Monitor {

// SIGINT, SIGTERM, SIGHUP and SIGQUIT only note that they came: the monitor
// then leaves through its ordinary path, which stops the agent, and its
// waits are cut short by the signal.
void CatchStopSignals();

// The stop signal that came, or 0.
int CaughtStopSignal();

// Once everything is tidied up, ends the process by the signal that came,
// if any, so that its parent learns why it ended.
void EndByCaughtSignal();

} // namespace Monitor
} // namespace Talmex
