#pragma once

namespace Talmex {
namespace Monitor {

// SIGINT, SIGTERM, SIGHUP and SIGQUIT only note that they came: the monitor
// then leaves through its ordinary path, which restores the terminal and
// stops the agent, and its waits are cut short by the signal. A second stop
// signal ends the process at once, by that signal, after the fault action
// has put the terminal back: for a user who will not wait for the tidying.
void CatchStopSignals();

// SIGPIPE is ignored: a reader of the output or of the recording that goes
// away makes a write fail, which is said and ends that output, rather than
// killing the monitor before it can tidy up.
void IgnoreBrokenPipes();

// The stop signal that came, or 0.
int CaughtStopSignal();

// Once everything is tidied up, ends the process by the signal that came,
// if any, so that its parent learns why it ended.
void EndByCaughtSignal();

// Runs action, which must be async-signal-safe, before the process dies of a
// fault; null forgets it.
void OnFault(void (*action)());

} // namespace Monitor
} // namespace Talmex
