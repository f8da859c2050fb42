#pragma once

namespace Talmex {
namespace Monitor {

// The terminal, held full-screen by curses from Open until Close. It is put
// back however the monitor ends: Close, the destructor, exit, or a fault.
class Screen {
public:
    static constexpr int kNoKey = -1;
    static constexpr int kResized = -2;

    // True when standard input and output are a terminal of at least this many
    // columns and rows.
    static bool Fits(int width, int height);

    Screen() = default;
    ~Screen() { Close(); }

    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // False when curses cannot drive this terminal.
    bool Open();
    void Close();

    // Waits at most the time for a key, a change of size, a signal or, when
    // it is not -1, for the descriptor to become readable; false once the
    // terminal has gone.
    bool Wait(int milliseconds, int descriptor = -1);
    // The next key; kNoKey when none is waiting, kResized after the terminal
    // changed its size.
    int ReadKey();
};

} // namespace Monitor
} // namespace Talmex
