#include "Common/Platform/Assert.h"

#include <cstdio>
#include <cstdlib>

namespace Talmex {
namespace Platform {

void AssertionFailed(const char* function, const char* file, int line, const char* expression)
{
    std::fprintf(stderr, "Assertion failed: (%s), function %s, file %s, line %d.\n", expression,
                 function, file, line);
    std::fflush(stderr);
    std::abort();
}

} // namespace Platform
} // namespace Talmex
