#include "Monitor/Format.h"

#include <cstdarg>
#include <cstdio>

namespace Talmex {
namespace Monitor {

std::string Format(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string RateOf(const Client::Client& client)
{
    const double rate = client.GetCounters().reportRate;
    const Client::Status status = client.GetStatus();
    const bool isCounting =
        status == Client::Status::kConnecting || status == Client::Status::kServing;
    return rate == 0 && isCounting ? "-" : Format("%.1f/s", rate);
}

} // namespace Monitor
} // namespace Talmex
