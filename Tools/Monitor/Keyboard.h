#pragma once

namespace Talmex {
namespace Monitor {

// The terminal on standard input, read a key at a time without echo while the
// monitor prints plain lines into it (a terminal too small for the view), so
// that its keys, q above all, still act. Its modes are put back however the
// monitor ends: Close, the destructor, or a fault.
class Keyboard {
public:
    static constexpr int kNoKey = -1;

    Keyboard() = default;
    ~Keyboard() { Close(); }

    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // False, and nothing changed, unless standard input and output are a
    // terminal this process may read: the lines go elsewhere (a pipe into a
    // pager, which reads the keys itself), or it runs in the background.
    bool Open();
    void Close();

    // The next key, or kNoKey when none is waiting; never waits.
    int ReadKey();
};

} // namespace Monitor
} // namespace Talmex
