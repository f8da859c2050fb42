#pragma once

#include <locale.h>

namespace Talmex {
namespace Platform {

// Puts the calling thread, and no other, in the named locale while the scope
// lasts, then back in the one it had. Switching the process's locale would
// change it under every other thread's formatting. A name the C library does
// not know changes nothing.
class ThreadLocaleScope {
public:
    explicit ThreadLocaleScope(const char* name)
        : _locale(newlocale(LC_ALL_MASK, name, locale_t())),
          _previous(_locale != locale_t() ? uselocale(_locale) : locale_t())
    {
    }

    ~ThreadLocaleScope()
    {
        if (_locale != locale_t()) {
            uselocale(_previous);
            freelocale(_locale);
        }
    }

    ThreadLocaleScope(const ThreadLocaleScope&) = delete;
    ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;

private:
    locale_t _locale;
    locale_t _previous;
};

} // namespace Platform
} // namespace Talmex
