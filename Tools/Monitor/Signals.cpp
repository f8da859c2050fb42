#include "Monitor/Signals.h"

#include <csignal>

namespace Talmex {
namespace Monitor {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

volatile sig_atomic_t _caughtSignal = 0;
void (*volatile _faultAction)() = nullptr;

void _Install(int signal, void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// The handler runs once: the fault then recurs, or abort raises again, with
// the default action.
void _RunFaultAction(int)
{
    if (void (*action)() = _faultAction) {
        action();
    }
}

void _NoteStop(int signal)
{
    if (_caughtSignal == 0) {
        _caughtSignal = signal;
        return;
    }
    // The signal is held until the handler returns, and then ends the process.
    _RunFaultAction(signal);
    _Install(signal, SIG_DFL, 0);
    raise(signal);
}

} // namespace

void CatchStopSignals()
{
    // Without SA_RESTART, so that a wait in progress ends at once.
    for (int signal : kStopSignals) {
        _Install(signal, _NoteStop, 0);
    }
}

void IgnoreBrokenPipes()
{
    _Install(SIGPIPE, SIG_IGN, 0);
}

int CaughtStopSignal()
{
    return _caughtSignal;
}

void EndByCaughtSignal()
{
    if (const int signal = _caughtSignal) {
        _Install(signal, SIG_DFL, 0);
        raise(signal);
    }
}

void OnFault(void (*action)())
{
    _faultAction = action;
    for (int signal : kFaultSignals) {
        _Install(signal, action != nullptr ? _RunFaultAction : SIG_DFL, SA_RESETHAND);
    }
}

} // namespace Monitor
} // namespace Talmex
