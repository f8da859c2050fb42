#include "Client/AgentProcess.h"

#include "Protocol/Header.h"

#include <algorithm>
#include <cerrno>
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

#ifndef TALMEX_INSTALLED_AGENT
#define TALMEX_INSTALLED_AGENT "/usr/local/bin/talmex-agent"
#endif

namespace Talmex {
namespace Client {

namespace {

constexpr int kReapPollMicroseconds = 2000;

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

bool _IsExecutable(const std::string& path)
{
    return !path.empty() && access(path.c_str(), X_OK) == 0;
}

} // namespace

AgentProcess::~AgentProcess()
{
    Stop();
}

bool AgentProcess::Start(const std::string& agentPath, std::string& error)
{
    Stop();
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
    // A process group of its own: Ctrl-C at the host's terminal is the host's
    // to handle, and the host stops the agent in order by closing the pipe.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    char* const arguments[] = {const_cast<char*>(agentPath.c_str()), nullptr};
    const int result =
        posix_spawn(&_pid, agentPath.c_str(), &actions, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[0]);
    if (result != 0) {
        close(pipeEnds[1]);
        _pid = -1;
        error = "cannot start " + agentPath + ": " + std::strerror(result);
        return false;
    }
    _input = pipeEnds[1];
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
        const unsigned port = static_cast<unsigned>(std::strtoul(local.c_str() + colon + 1, nullptr, 16));
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
    int status = 0;
    pid_t result;
    do {
        result = waitpid(_pid, &status, wait ? 0 : WNOHANG);
    } while (result == -1 && errno == EINTR);
    if (result == _pid) {
        _exited = true;
        _status = status;
    }
    return _exited;
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
    _pid = -1;
}

std::string DefaultAgentPath()
{
    if (_IsExecutable(TALMEX_INSTALLED_AGENT)) {
        return TALMEX_INSTALLED_AGENT;
    }
    if (const char* path = std::getenv("PATH")) {
        std::istringstream folders(path);
        std::string folder;
        while (std::getline(folders, folder, ':')) {
            const std::string candidate = (folder.empty() ? "." : folder) + "/talmex-agent";
            if (_IsExecutable(candidate)) {
                return candidate;
            }
        }
    }
    return TALMEX_INSTALLED_AGENT;
}

} // namespace Client
} // namespace Talmex
