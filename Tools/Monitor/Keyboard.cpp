#include "Monitor/Keyboard.h"

#include "Monitor/Signals.h"

#include <termios.h>
#include <unistd.h>

namespace Talmex {
namespace Monitor {

namespace {

bool _isOpen = false;
termios _savedModes;

void _RestoreModes()
{
    tcsetattr(STDIN_FILENO, TCSANOW, &_savedModes);
}

} // namespace

bool Keyboard::Open()
{
    if (_isOpen) {
        return true;
    }
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO) || tcgetpgrp(STDIN_FILENO) != getpgrp() ||
        tcgetattr(STDIN_FILENO, &_savedModes) != 0) {
        return false;
    }
    // Without signal keys, as in the view: Ctrl-C arrives as a key and the
    // agent, which shares the terminal's process group, is not interrupted.
    termios modes = _savedModes;
    modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    modes.c_cc[VMIN] = 0;
    modes.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &modes) != 0) {
        return false;
    }
    _isOpen = true;
    OnFault(_RestoreModes);
    return true;
}

void Keyboard::Close()
{
    if (_isOpen) {
        _RestoreModes();
        _isOpen = false;
        OnFault(nullptr);
    }
}

int Keyboard::ReadKey()
{
    unsigned char key;
    return _isOpen && read(STDIN_FILENO, &key, 1) == 1 ? key : kNoKey;
}

} // namespace Monitor
} // namespace Talmex
