// The agent's entry point: it serves until its standard input closes.

#include "Agent/Manager.h"
#include "Common/Threading/Thread.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int kStandardInput = 0;
constexpr size_t kReadSize = 1024;
constexpr unsigned int kPollMilliseconds = 100;

// Makes descriptor 0 non-blocking for the watch and puts the previous mode
// back afterwards: the open file description is shared with the parent, which
// must not be left with a non-blocking terminal or pipe.
class NonBlockingStandardInput {
public:
    NonBlockingStandardInput() : _previousFlags(fcntl(kStandardInput, F_GETFL))
    {
        int enable = 1;
        ioctl(kStandardInput, FIONBIO, &enable);
    }

    ~NonBlockingStandardInput()
    {
        if (_previousFlags != -1 && (_previousFlags & O_NONBLOCK) == 0) {
            int disable = 0;
            ioctl(kStandardInput, FIONBIO, &disable);
        }
    }

    NonBlockingStandardInput(const NonBlockingStandardInput&) = delete;
    NonBlockingStandardInput& operator=(const NonBlockingStandardInput&) = delete;

private:
    const int _previousFlags;
};

// Returns at end of file or on a read error; what is read means nothing.
void _WaitForEndOfStandardInput()
{
    NonBlockingStandardInput nonBlocking;
    char discarded[kReadSize];
    for (;;) {
        const ssize_t result = read(kStandardInput, discarded, sizeof discarded);
        if (result == 0) {
            return;
        }
        if (result < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        }
        Talmex::Threading::Sleep(kPollMilliseconds);
    }
}

} // namespace

int main()
{
    using Talmex::Singleton;
    using Talmex::Agent::Manager;

    // Looked at before anything is opened: a closed descriptor 0 would be
    // reused by the agent's own socket or files, and the watch would then
    // wait on those instead of on its input.
    const bool hasInput = fcntl(kStandardInput, F_GETFD) != -1;
    // The agent prints nothing, but a plug-in may, and its standard output is
    // a pipe to the host: line by line, what it prints reaches the host as it
    // happens, not when the agent ends.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);

    Singleton<Manager>::_instance.Initialize();
    if (hasInput) {
        _WaitForEndOfStandardInput();
    }
    Singleton<Manager>::_instance.Finalize();
    return 0;
}
