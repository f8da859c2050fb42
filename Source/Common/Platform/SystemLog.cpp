#include "Common/Platform/SystemLog.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <unistd.h>

namespace Talmex {
namespace Platform {

namespace {

std::string _RecordHeader()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char time[64];
    std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d.%03ld ", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  now.tv_nsec / 1000000);
    return time + std::string(program_invocation_short_name) + '[' + std::to_string(getpid()) +
           ':' + std::to_string(gettid()) + "] ";
}

} // namespace

void SystemLog(const char* text)
{
    // One write per record, so that records of several threads never interleave.
    std::string record = _RecordHeader();
    record += text != nullptr ? text : "";
    record += '\n';
    const char* next = record.data();
    size_t left = record.size();
    while (left > 0) {
        const ssize_t written = write(STDERR_FILENO, next, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        next += written;
        left -= static_cast<size_t>(written);
    }
}

} // namespace Platform
} // namespace Talmex
