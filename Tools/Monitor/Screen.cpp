#include "Monitor/Screen.h"

#include "Monitor/Signals.h"

#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <term.h>
#include <termios.h>
#include <unistd.h>

namespace Talmex {
namespace Monitor {

namespace {

SCREEN* _screen = nullptr;
// What a fault puts back, prepared while nothing is failing: the modes the
// terminal had, and the bytes that leave the full-screen mode.
termios _savedModes;
char _leaveSequence[128];
size_t _leaveSequenceSize = 0;

void _LeaveAfterFault()
{
    ssize_t written = write(STDOUT_FILENO, _leaveSequence, _leaveSequenceSize);
    (void)written;
    tcsetattr(STDIN_FILENO, TCSANOW, &_savedModes);
}

// The terminal's control sequence of that name, or null when it has none.
const char* _Capability(const char* name)
{
    const char* sequence = tigetstr(name);
    return sequence != reinterpret_cast<const char*>(-1) ? sequence : nullptr;
}

void _AppendCapability(const char* name)
{
    const char* sequence = _Capability(name);
    if (sequence == nullptr) {
        return;
    }
    const size_t size = std::strlen(sequence);
    if (_leaveSequenceSize + size <= sizeof _leaveSequence) {
        std::memcpy(_leaveSequence + _leaveSequenceSize, sequence, size);
        _leaveSequenceSize += size;
    }
}

void _CloseAtExit()
{
    if (_screen != nullptr) {
        endwin();
    }
}

} // namespace

bool Screen::Fits(int width, int height)
{
    winsize size = {};
    return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO) &&
           ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= width &&
           size.ws_row >= height;
}

bool Screen::Open()
{
    if (_screen != nullptr) {
        return true;
    }
    if (tcgetattr(STDIN_FILENO, &_savedModes) != 0) {
        return false;
    }
    // newterm, unlike initscr, fails with a result rather than ending the
    // process when the terminal type is unknown.
    _screen = newterm(nullptr, stdout, stdin);
    if (_screen == nullptr) {
        return false;
    }
    // A terminal that cannot place the cursor cannot show the view.
    if (_Capability("cup") == nullptr) {
        Close();
        return false;
    }
    // Once per process, however often a screen opens.
    static const bool isRegistered = std::atexit(_CloseAtExit) == 0;
    (void)isRegistered;
    _leaveSequenceSize = 0;
    _AppendCapability("sgr0");
    _AppendCapability("cnorm");
    _AppendCapability("rmcup");
    OnFault(_LeaveAfterFault);

    // Raw, so that Ctrl-C arrives as a key and the agent, which shares the
    // terminal's process group, is not interrupted by it.
    raw();
    noecho();
    nodelay(stdscr, TRUE);
    keypad(stdscr, TRUE);
    curs_set(0);
    return true;
}

void Screen::Close()
{
    if (_screen == nullptr) {
        return;
    }
    endwin();
    delscreen(_screen);
    _screen = nullptr;
    OnFault(nullptr);
}

bool Screen::Wait(int milliseconds, int descriptor)
{
    // poll passes over a descriptor of -1.
    pollfd ready[] = {{STDIN_FILENO, POLLIN, 0}, {descriptor, POLLIN, 0}};
    if (poll(ready, 2, milliseconds) > 0 && (ready[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
        return false;
    }
    return true;
}

int Screen::ReadKey()
{
    const int key = getch();
    return key == ERR ? kNoKey : key == KEY_RESIZE ? kResized : key;
}

} // namespace Monitor
} // namespace Talmex
