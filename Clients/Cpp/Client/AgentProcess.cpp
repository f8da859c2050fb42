#include "Client/AgentProcess.h"

#include "Protocol/Header.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace Talmex {
namespace Client {

namespace {

constexpr int kReapPollMicroseconds = 2000;
// Bytes of the child's output taken in per look: a plug-in that prints
// without pause cannot hold up the host, and what is left waits in the pipe.
constexpr int kOutputReadsPerLook = 16;
constexpr size_t kOutputReadSize = 4096;

// The inodes of the sockets among the process's open descriptors.
std::vector<unsigned long> _SocketInodes(pid_t pid)
{
    std::vector<unsigned long> inodes;
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* descriptors = opendir(folder.c_str());
    if (descriptors == nullptr) {
        return inodes;
    }
    while (const dirent* entry = readdir(descriptors)) {
        char target[64] = {};
        const std::string link = folder + "/" + entry->d_name;
        if (readlink(link.c_str(), target, sizeof target - 1) > 0) {
            unsigned long inode = 0;
            if (std::sscanf(target, "socket:[%lu]", &inode) == 1) {
                inodes.push_back(inode);
            }
        }
    }
    closedir(descriptors);
    return inodes;
}

bool _IsAgentPort(unsigned port)
{
    return std::find(std::begin(Protocol::kAgentPorts), std::end(Protocol::kAgentPorts), port) !=
           std::end(Protocol::kAgentPorts);
}

} // namespace

AgentProcess::~AgentProcess()
{
    Stop();
}

bool AgentProcess::Start(const std::string& agentPath, const std::string& headset,
                         std::string& error)
{
    Stop();
    _output.Clear();
    std::string agent = agentPath;
    std::string folder;
    if ((agent.empty() && !FindAgent(agent, error)) ||
        !HeadsetFolder(agent, headset, folder, error)) {
        return false;
    }
    // The child changes its directory before it runs the agent.
    if (agent[0] != '/') {
        char current[PATH_MAX];
        if (getcwd(current, sizeof current) != nullptr) {
            agent = std::string(current) + "/" + agent;
        }
    }
    int input[2] = {-1, -1};
    int output[2] = {-1, -1};
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        for (int end : input) {
            if (end != -1) {
                close(end);
            }
        }
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    // A process group of its own: Ctrl-C at the host's terminal is the host's
    // to handle, and the host stops the agent in order by closing the pipe.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    char* const arguments[] = {const_cast<char*>(agent.c_str()), nullptr};
    const int result = posix_spawn(&_pid, agent.c_str(), &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    if (result != 0) {
        close(input[1]);
        close(output[0]);
        _pid = -1;
        error = "cannot start " + agent + " in " + folder + ": " + std::strerror(result);
        return false;
    }
    _input = input[1];
    _outputPipe = output[0];
    fcntl(_outputPipe, F_SETFL, O_NONBLOCK);
    _exited = false;
    return true;
}

uint16_t AgentProcess::BoundPort() const
{
    if (_pid <= 0) {
        return 0;
    }
    const std::vector<unsigned long> inodes = _SocketInodes(_pid);
    std::ifstream table("/proc/" + std::to_string(_pid) + "/net/udp");
    std::string line;
    std::getline(table, line); // the column titles
    while (std::getline(table, line)) {
        // "sl: local_address remote_address st tx:rx tr:when retransmits uid timeout inode"
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
        unsigned long inode = 0;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode;
        const size_t colon = local.find(':');
        if (!fields || colon == std::string::npos ||
            std::find(inodes.begin(), inodes.end(), inode) == inodes.end()) {
            continue;
        }
        const unsigned port =
            static_cast<unsigned>(std::strtoul(local.c_str() + colon + 1, nullptr, 16));
        if (_IsAgentPort(port)) {
            return static_cast<uint16_t>(port);
        }
    }
    return 0;
}

bool AgentProcess::HasExited()
{
    return _Reap(false);
}

std::string AgentProcess::ExitDescription() const
{
    if (!_exited) {
        return "running";
    }
    if (WIFEXITED(_status)) {
        return "exited with status " + std::to_string(WEXITSTATUS(_status));
    }
    if (WIFSIGNALED(_status)) {
        return std::string("killed by signal ") + strsignal(WTERMSIG(_status));
    }
    return "ended";
}

bool AgentProcess::_Reap(bool wait)
{
    if (_pid <= 0 || _exited) {
        return _exited;
    }
    _TakeOutput();
    int status = 0;
    pid_t result;
    do {
        result = waitpid(_pid, &status, wait ? 0 : WNOHANG);
    } while (result == -1 && errno == EINTR);
    if (result == _pid) {
        _exited = true;
        _status = status;
        _EndOutput();
    }
    return _exited;
}

bool AgentProcess::_ReadOutput()
{
    char buffer[kOutputReadSize];
    for (int reads = 0; reads < kOutputReadsPerLook; ++reads) {
        const ssize_t size = read(_outputPipe, buffer, sizeof buffer);
        if (size <= 0) {
            return size == 0;
        }
        _output.Add(buffer, static_cast<size_t>(size));
    }
    return false;
}

void AgentProcess::_TakeOutput()
{
    if (_outputPipe != -1 && _ReadOutput()) {
        _EndOutput(); // every writer has gone
    }
}

// The child has ended: what it left in the pipe is the end of its output. A
// process of its own that still writes there is not waited for.
void AgentProcess::_EndOutput()
{
    if (_outputPipe == -1) {
        return;
    }
    _ReadOutput();
    close(_outputPipe);
    _outputPipe = -1;
    _output.Finish();
}

void AgentProcess::Stop(int timeoutMilliseconds)
{
    if (_input != -1) {
        close(_input);
        _input = -1;
    }
    if (_pid <= 0) {
        return;
    }
    for (int waited = 0; !_Reap(false) && waited < timeoutMilliseconds * 1000;
         waited += kReapPollMicroseconds) {
        usleep(kReapPollMicroseconds);
    }
    if (!_exited) {
        kill(_pid, SIGKILL);
        _Reap(true);
    }
    _EndOutput();
    _pid = -1;
}

} // namespace Client
} // namespace Talmex
