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

} // namespace Monitor
} // namespace Talmex
