#include "Monitor/OutputCapture.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace Talmex {
namespace Monitor {

void CaptureOutput(const std::function<void()>& call, Client::AgentOutput& output)
{
    // What the streams hold belongs where it was going before.
    std::fflush(stdout);
    std::fflush(stderr);
    // A file, not a pipe: nothing the call prints can block it.
    const int file = memfd_create("talmex-captured-output", MFD_CLOEXEC);
    const int savedOutput = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    const int savedError = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    const bool isCapturing = file != -1 && savedOutput != -1 && savedError != -1;
    if (isCapturing) {
        dup2(file, STDOUT_FILENO);
        dup2(file, STDERR_FILENO);
    }
    call();
    if (isCapturing) {
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(savedOutput, STDOUT_FILENO);
        dup2(savedError, STDERR_FILENO);
        char buffer[4096];
        ssize_t size;
        lseek(file, 0, SEEK_SET);
        while ((size = read(file, buffer, sizeof buffer)) > 0) {
            output.Add(buffer, static_cast<size_t>(size));
        }
        output.Finish();
    }
    for (int descriptor : {file, savedOutput, savedError}) {
        if (descriptor != -1) {
            close(descriptor);
        }
    }
}

} // namespace Monitor
} // namespace Talmex
