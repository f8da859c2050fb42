#include "Monitor/Signals.h"

#include <csignal>

namespace Talmex {
namespace Monitor {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile sig_atomic_t _caughtSignal = 0;

void _NoteStop(int signal)
{
    _caughtSignal = signal;
}

void _Install(int signal, void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

} // namespace

void CatchStopSignals()
{
    // Without SA_RESTART, so that a wait in progress ends at once.
    for (int signal : kStopSignals) {
        _Install(signal, _NoteStop, 0);
    }
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

} // namespace Monitor
} // namespace Talmex
