#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>

namespace MonitorTest {

// A command in a real terminal: a detached tmux session of a fixed size on a
// server of the test's own, which the destructor always kills.
class TerminalSession {
public:
    TerminalSession(const std::string& command, int columns, int rows);
    ~TerminalSession() { Close(); }
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    bool IsStarted() const { return _isStarted; }
    // The text on the screen now.
    std::string Capture() const;
    // Keys in tmux's names: "r", "C-c".
    void SendKeys(const std::string& keys) const;
    // The process the session started.
    pid_t PanePid() const;
    // Captures until the screen satisfies the test or the time is up; the
    // last capture either way.
    std::string WaitForScreen(const std::function<bool(const std::string&)>& isReady,
                              std::chrono::milliseconds timeout) const;
    // Kills the server, which closes the terminal.
    void Close();

private:
    std::string _Tmux(const std::string& arguments) const;

    std::string _server;
    bool _isStarted = false;
};

// Quoted for the shell.
std::string Quoted(const std::string& text);

} // namespace MonitorTest
