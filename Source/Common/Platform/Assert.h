#pragma once

namespace Talmex {
namespace Platform {

// Reports a broken programming contract on standard error and aborts.
[[noreturn]] void AssertionFailed(const char* function, const char* file, int line,
                                  const char* expression);

} // namespace Platform
} // namespace Talmex

// Always active, unlike assert(): these guard contracts whose breach would
// corrupt memory, so release builds keep them.
#define TALMEX_ASSERT(expression)                                                                  \
    ((expression)                                                                                  \
         ? static_cast<void>(0)                                                                    \
         : ::Talmex::Platform::AssertionFailed(__func__, __FILE__, __LINE__, #expression))
