#include "TerminalSession.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace MonitorTest {

namespace {

constexpr std::chrono::milliseconds kCapturePause{10};

} // namespace

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

TerminalSession::TerminalSession(const std::string& command, int columns, int rows)
{
    static std::atomic<int> sessions{0};
    _server = "talmex-monitor-test-" + std::to_string(getpid()) + "-" + std::to_string(++sessions);
    const std::string start = "tmux -L " + _server + " -f /dev/null new-session -d -x " +
                              std::to_string(columns) + " -y " + std::to_string(rows) + " " +
                              Quoted(command);
    _isStarted = std::system(start.c_str()) == 0;
}

void TerminalSession::Close()
{
    if (_isStarted) {
        _Tmux("kill-server");
        _isStarted = false;
    }
}

std::string TerminalSession::_Tmux(const std::string& arguments) const
{
    std::string output;
    if (FILE* tmux =
            popen(("tmux -L " + _server + " " + arguments + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        size_t size;
        while ((size = std::fread(buffer, 1, sizeof buffer, tmux)) > 0) {
            output.append(buffer, size);
        }
        pclose(tmux);
    }
    return output;
}

std::string TerminalSession::Capture() const
{
    return _Tmux("capture-pane -p");
}

void TerminalSession::SendKeys(const std::string& keys) const
{
    _Tmux("send-keys " + keys);
}

pid_t TerminalSession::PanePid() const
{
    return static_cast<pid_t>(std::atoi(_Tmux("display-message -p '#{pane_pid}'").c_str()));
}

std::string TerminalSession::WaitForScreen(const std::function<bool(const std::string&)>& isReady,
                                           std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string screen = Capture();
    while (!isReady(screen) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kCapturePause);
        screen = Capture();
    }
    return screen;
}

} // namespace MonitorTest
